// A scripted structured-protocol server for the client's tests: Node's http upgrade and a
// bare WebSocket framing, on a free port of 127.0.0.1. Each test scripts what the server
// says; `opening` plays the usual hello, identify, identified.
import { createServer } from 'node:http';
import { createHash, randomBytes } from 'node:crypto';

const ACCEPT_GUID = '258EAFA5-E914-47DA-95CA-C5AB0DC85B11';

export const sha256Base64 = (text) => createHash('sha256').update(text, 'utf8').digest('base64');

function frame(opcode, payload) {
  const length = payload.length;
  let header;
  if (length < 126) {
    header = Buffer.from([0x80 | opcode, length]);
  } else if (length < 65536) {
    header = Buffer.from([0x80 | opcode, 126, length >> 8, length & 0xff]);
  } else {
    header = Buffer.alloc(10);
    header[0] = 0x80 | opcode;
    header[1] = 127;
    header.writeBigUInt64BE(BigInt(length), 2);
  }
  return Buffer.concat([header, payload]);
}

// One accepted connection, seen from the server.
class Peer {
  constructor(socket, offered) {
    this.socket = socket;
    this.offered = offered;
    this.texts = [];
    this.waiters = [];
    this.closed = new Promise((resolve) => socket.once('close', resolve));
    let buffered = Buffer.alloc(0);
    socket.on('data', (chunk) => {
      buffered = Buffer.concat([buffered, chunk]);
      for (;;) {
        const taken = this.readFrame(buffered);
        if (taken === 0) break;
        buffered = buffered.subarray(taken);
      }
    });
    socket.on('error', () => {});
  }

  // Client frames are masked and, from this client, never fragmented.
  readFrame(bytes) {
    if (bytes.length < 2) return 0;
    const opcode = bytes[0] & 0x0f;
    let length = bytes[1] & 0x7f;
    let at = 2;
    if (length === 126) {
      if (bytes.length < 4) return 0;
      length = bytes.readUInt16BE(2);
      at = 4;
    } else if (length === 127) {
      if (bytes.length < 10) return 0;
      length = Number(bytes.readBigUInt64BE(2));
      at = 10;
    }
    if (bytes.length < at + 4 + length) return 0;
    const mask = bytes.subarray(at, at + 4);
    const payload = Buffer.from(bytes.subarray(at + 4, at + 4 + length));
    for (let i = 0; i < payload.length; i++) payload[i] ^= mask[i % 4];
    if (opcode === 1) this.arrive(payload.toString('utf8'));
    else if (opcode === 8) this.socket.end(frame(8, payload.subarray(0, 2)));
    else if (opcode === 9) this.socket.write(frame(10, payload));
    return at + 4 + length;
  }

  arrive(text) {
    const waiter = this.waiters.shift();
    if (waiter) waiter(text);
    else this.texts.push(text);
  }

  // The next text the client sends, as it came.
  nextText(ms = 5000) {
    if (this.texts.length) return Promise.resolve(this.texts.shift());
    return new Promise((resolve, reject) => {
      const timer = setTimeout(() => reject(new Error(`the client sent nothing within ${ms} ms`)), ms);
      this.waiters.push((text) => {
        clearTimeout(timer);
        resolve(text);
      });
    });
  }

  async next(ms) {
    return JSON.parse(await this.nextText(ms));
  }

  // An object goes out as JSON; a string exactly as given (for integers JSON.stringify
  // cannot write).
  send(message) {
    const text = typeof message === 'string' ? message : JSON.stringify(message);
    this.socket.write(frame(1, Buffer.from(text, 'utf8')));
  }

  close(code, reason = '') {
    const payload = Buffer.alloc(2 + Buffer.byteLength(reason));
    payload.writeUInt16BE(code, 0);
    payload.write(reason, 2);
    this.socket.end(frame(8, payload));
  }

  // hello, identify, identified. With a password, checks the client's answer the way the
  // engine does and closes with 4004 when it is wrong.
  async opening({ password } = {}) {
    const challenge = randomBytes(32).toString('base64');
    const salt = randomBytes(32).toString('base64');
    this.send({
      op: 'hello', engine: 'ZYL Engine', version: '1.2.4', protocol: 2,
      authentication: password === undefined ? null : { challenge, salt },
    });
    const identify = await this.next();
    const reply = { op: 'identified', protocol: 2, subscriptions: identify.subscriptions ?? [] };
    if (password !== undefined) {
      const key = sha256Base64(password + salt);
      if (identify.authentication !== sha256Base64(key + challenge)) {
        this.close(4004, 'authentication failed');
        return identify;
      }
      reply.serverProof = sha256Base64(key + identify.authentication + challenge);
    }
    this.send(reply);
    return identify;
  }
}

export class FakeEngine {
  // `script(peer, request)` runs for every connection the server accepts. `refuse` answers
  // every handshake with that HTTP status instead.
  static start(script, { refuse } = {}) {
    const engine = new FakeEngine();
    const server = createServer();
    server.on('upgrade', (request, socket) => {
      engine.sockets.add(socket);
      socket.once('close', () => engine.sockets.delete(socket));
      if (refuse) {
        socket.end(`HTTP/1.1 ${refuse} Refused\r\nConnection: close\r\nContent-Length: 0\r\n\r\n`);
        return;
      }
      const offered = (request.headers['sec-websocket-protocol'] ?? '').split(',').map((entry) => entry.trim());
      const accept = createHash('sha1').update(request.headers['sec-websocket-key'] + ACCEPT_GUID).digest('base64');
      socket.write(['HTTP/1.1 101 Switching Protocols', 'Upgrade: websocket', 'Connection: Upgrade',
        `Sec-WebSocket-Accept: ${accept}`,
        ...(offered.includes('zyl.v2') ? ['Sec-WebSocket-Protocol: zyl.v2'] : []), '', ''].join('\r\n'));
      const peer = new Peer(socket, offered);
      engine.peers.push(peer);
      Promise.resolve(script(peer, request)).catch((error) => engine.errors.push(error));
    });
    engine.server = server;
    return new Promise((resolve) => {
      server.listen(0, '127.0.0.1', () => {
        engine.url = `ws://127.0.0.1:${server.address().port}`;
        resolve(engine);
      });
    });
  }

  constructor() {
    this.peers = [];
    this.sockets = new Set();
    this.errors = [];
  }

  // Stops listening and drops every connection; throws what a script threw.
  async stop() {
    for (const socket of this.sockets) socket.destroy();
    await new Promise((resolve) => this.server.close(resolve));
    if (this.errors.length) throw this.errors[0];
  }
}
