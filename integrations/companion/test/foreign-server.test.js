// What the status says when no engine that speaks protocol 2 is at the address: a WebSocket
// server without it (an older engine, or another program on the port) is a warning, an
// address where nothing listens a connection failure; both are retried.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { createHash } from 'node:crypto';
import { createServer } from 'node:http';
import { Status } from '../src/link.js';
import { makeLink } from './support.js';

const WEBSOCKET_GUID = '258EAFA5-E914-47DA-95CA-C5AB0DC85B11';

// Accepts every WebSocket handshake with no subprotocol, as a protocol-1-only engine does,
// says nothing, and drops the connection at the client's first frame (its close).
function listenWithoutProtocol2() {
  const server = createServer((request, response) => response.writeHead(404).end());
  // Upgraded sockets are the test's own to end: the server no longer counts them.
  server.upgraded = new Set();
  server.on('upgrade', (request, socket) => {
    server.upgraded.add(socket);
    socket.on('close', () => server.upgraded.delete(socket));
    const accept = createHash('sha1').update(request.headers['sec-websocket-key'] + WEBSOCKET_GUID).digest('base64');
    socket.write(`HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Accept: ${accept}\r\n\r\n`);
    socket.on('error', () => {});
    socket.on('data', () => socket.destroy());
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

describe('a status that tells an older engine from no engine', () => {
  let server;
  const links = [];
  before(async () => { server = await listenWithoutProtocol2(); });
  after(async () => {
    await Promise.all(links.map((link) => link.stop()));
    for (const socket of server.upgraded) socket.destroy();
    await new Promise((resolve) => server.close(resolve));
  });

  test('a WebSocket server without protocol 2 is a warning, and the module goes on trying', async () => {
    const link = makeLink({ url: `ws://127.0.0.1:${server.address().port}` });
    links.push(link);
    link.start();
    await link.untilStatus(Status.Warning, /does not admit protocol 2/);
    // Still retrying: two more attempts are made, and the status stays.
    await new Promise((resolve) => {
      let retried = 0;
      const off = link.client.on('reconnecting', () => {
        retried += 1;
        if (retried < 2) return;
        off();
        resolve();
      });
    });
    assert.equal(link.client.connected, false);
    assert.equal(link.status.level, Status.Warning);
  });

  test('nothing listening is a connection failure', async () => {
    const closed = await listenWithoutProtocol2();
    const port = closed.address().port;
    await new Promise((resolve) => closed.close(resolve));
    const link = makeLink({ url: `ws://127.0.0.1:${port}` });
    links.push(link);
    link.start();
    await link.untilStatus(Status.ConnectionFailure, /no engine at/);
  });
});
