// The peer: a WebSocket echo server on Node's `ws` package, on 127.0.0.1 and a port the
// system picks. Prints the port on its first line, then echoes every text message back. It
// ends when its standard input closes, so it never outlives the bench program.
'use strict';
const { WebSocketServer } = require('ws');

const server = new WebSocketServer({ host: '127.0.0.1', port: 0, perMessageDeflate: false });
server.on('listening', () => process.stdout.write(`${server.address().port}\n`));
server.on('connection', (socket) => {
  socket.on('message', (data, isBinary) => socket.send(data, { binary: isBinary }));
});
process.stdin.on('end', () => process.exit(0));
process.stdin.resume();
