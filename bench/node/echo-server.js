// The Node peer: a WebSocket server on Node's `ws` package, on 127.0.0.1 and a port the
// system picks. Prints the port on its first line, answers "get.version" with
// "version:1.2.4" as the engine does and echoes every other text message back. It ends when
// its standard input closes, so it never outlives the bench program.
'use strict';
const { WebSocketServer } = require('ws');

const server = new WebSocketServer({ host: '127.0.0.1', port: 0, perMessageDeflate: false });
server.on('listening', () => process.stdout.write(`${server.address().port}\n`));
server.on('connection', (socket) => {
  socket.on('message', (data, isBinary) => {
    if (!isBinary && data.toString() === 'get.version') socket.send('version:1.2.4');
    else socket.send(data, { binary: isBinary });
  });
});
process.stdin.on('end', () => process.exit(0));
process.stdin.resume();
