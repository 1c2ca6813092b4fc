// A password in the settings file, met by independent clients that answer the engine's
// challenge themselves: headless Chromium (WebCrypto in a page) and Node's `ws`. Each runs a
// batch and receives a subscribed topic's event; a wrong password is closed with 4004; while a
// password is set, a text-protocol handshake is refused with 403.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { createHash } from 'node:crypto';
import { fileURLToPath } from 'node:url';
import WebSocket from 'ws';
import { ENGINE_URL, PROJECT, Simulator, WAIT_MS, launchChromium, serveStatic } from './lib/harness.mjs';

const PAGE_ROOT = fileURLToPath(new URL('./page/', import.meta.url));
const PASSWORD = 'correct horse — battery staple';
const WRONG_PASSWORD = 'correct horse — battery stapl';
const PLAY = { op: 'event', topic: 'transport', data: { type: 'play', on: true } };
const BATCH = {
  op: 'batch',
  id: 'b1',
  requests: [
    { method: 'version' },
    { method: 'angle.get', params: { ticks: 0 } },
    { method: 'sequence.get', params: { timeline: 999 } },
  ],
};

const sha256Base64 = (text) => createHash('sha256').update(text, 'utf8').digest('base64');

function checkBatch(response) {
  assert.equal(response.op, 'batchResponse');
  assert.equal(response.id, 'b1');
  assert.equal(response.ok, true);
  assert.deepEqual(response.results[0], { ok: true, result: { version: '1.2.4' } });
  assert.deepEqual(response.results[1], { ok: true, result: { angle: 2, timelineID: 3 } });
  assert.equal(response.results[2].ok, false);
  assert.equal(response.results[2].error.code, 'not_found');
}

let sim;
before(async () => {
  sim = await Simulator.start({ project: PROJECT });
  sim.writeSettings({ password: PASSWORD });
});
after(async () => {
  const end = await sim.quit();
  assert.equal(end.code, 0, sim.stderr);
  assert.equal(end.ledger.balanced, true);
});

// A `ws` connection offering the structured protocol, read as a queue of JSON messages.
function openWs(protocols = ['zyl.v2']) {
  const socket = new WebSocket(ENGINE_URL, protocols, { origin: 'http://localhost:8000' });
  const queue = [];
  const waiters = [];
  socket.on('message', (data) => {
    const message = JSON.parse(data.toString('utf8'));
    const waiter = waiters.findIndex((w) => w.test(message));
    if (waiter >= 0) waiters.splice(waiter, 1)[0].resolve(message);
    else queue.push(message);
  });
  const next = (test = () => true) => {
    const index = queue.findIndex(test);
    if (index >= 0) return Promise.resolve(queue.splice(index, 1)[0]);
    return new Promise((resolve, reject) => {
      const timer = setTimeout(() => reject(new Error('no matching message in time')), WAIT_MS);
      waiters.push({ test, resolve: (message) => { clearTimeout(timer); resolve(message); } });
    });
  };
  const closed = new Promise((resolve) => socket.once('close', (code, reason) => resolve({ code, reason: reason.toString() })));
  // Settles with the HTTP status of a refused handshake, or 101 once open.
  const opened = new Promise((resolve, reject) => {
    socket.once('open', () => resolve(101));
    socket.once('unexpected-response', (_request, response) => { resolve(response.statusCode); socket.terminate(); });
    socket.once('error', reject);
  });
  return { socket, next, closed, opened };
}

// Reads the hello, answers its challenge with `password` and returns what the client knows.
async function identify(connection, password, subscriptions) {
  const hello = await connection.next();
  assert.equal(hello.op, 'hello');
  const { challenge, salt } = hello.authentication;
  assert.equal(Buffer.from(challenge, 'base64').length, 32);
  assert.equal(Buffer.from(salt, 'base64').length, 32);
  const key = sha256Base64(password + salt);
  const answer = sha256Base64(key + challenge);
  connection.socket.send(JSON.stringify({ op: 'identify', protocol: 2, authentication: answer, subscriptions }));
  return { challenge, serverProof: sha256Base64(key + answer + challenge) };
}

test('ws: the right password opens the connection; a batch runs and a subscribed event arrives', async () => {
  const connection = openWs();
  assert.equal(await connection.opened, 101);
  assert.equal(connection.socket.protocol, 'zyl.v2');
  const { challenge, serverProof } = await identify(connection, PASSWORD, ['transport']);
  const identified = await connection.next();
  assert.deepEqual(identified, { op: 'identified', protocol: 2, subscriptions: ['transport'], serverProof });

  connection.socket.send(JSON.stringify(BATCH));
  checkBatch(await connection.next((m) => m.op === 'batchResponse'));
  await sim.command('play on');
  assert.deepEqual(await connection.next((m) => m.op === 'event'), PLAY);
  await sim.command('play off');
  connection.socket.close(1000, 'done');
  assert.equal((await connection.closed).code, 1000);

  // Every connection gets a challenge of its own.
  const again = openWs();
  await again.opened;
  const second = await identify(again, PASSWORD, []);
  assert.notEqual(second.challenge, challenge);
  assert.equal((await again.next()).serverProof, second.serverProof);
  again.socket.close(1000);
  await again.closed;
});

test('ws: a wrong password is closed with 4004 after a pause, before anything is answered', async () => {
  const connection = openWs();
  await connection.opened;
  await identify(connection, WRONG_PASSWORD, ['transport']);
  const sent = Date.now();
  connection.socket.send(JSON.stringify(BATCH));
  const { code } = await connection.closed;
  assert.equal(code, 4004);
  assert.ok(Date.now() - sent >= 900, `closed after ${Date.now() - sent} ms`);
  // No `identified` and no batch answer: the hello was the only message.
  assert.equal(await Promise.race([connection.next(), new Promise((r) => setTimeout(() => r('none'), 50))]), 'none');
});

test('ws: a text-protocol handshake is refused with 403 while a password is set', async () => {
  assert.equal(await openWs([]).opened, 403);
  // The user may let it in again, knowingly.
  sim.writeSettings({ password: PASSWORD, textProtocol: true });
  try {
    const text = openWs([]);
    assert.equal(await text.opened, 101);
    text.socket.close(1000);
    await text.closed;
  } finally {
    sim.writeSettings({ password: PASSWORD });
  }
});

test('chromium: a page answers the challenge with WebCrypto; the text protocol is refused', async () => {
  const server = await serveStatic(PAGE_ROOT);
  const browser = await launchChromium();
  try {
    const page = await browser.context.newPage();
    await page.exposeFunction('hostCommand', (text) => sim.command(text).then(() => undefined));
    // The handshake's HTTP status is not visible to the page; the browser's network log has
    // it: an accepted handshake's response, or a refused one's failure text.
    const devtools = await browser.context.newCDPSession(page);
    const statuses = [];
    devtools.on('Network.webSocketHandshakeResponseReceived', ({ response }) => statuses.push(response.status));
    devtools.on('Network.webSocketFrameError', ({ errorMessage }) => {
      const refused = /Unexpected response code: (\d+)/.exec(errorMessage);
      statuses.push(refused ? Number(refused[1]) : errorMessage);
    });
    await devtools.send('Network.enable');
    await page.goto(`http://localhost:${server.port}/password.html`);

    const opened = await page.evaluate((password) => window.openStructured(password, ['transport'], async (socket, next) => {
      socket.send(JSON.stringify({
        op: 'batch', id: 'b1',
        requests: [{ method: 'version' }, { method: 'angle.get', params: { ticks: 0 } }, { method: 'sequence.get', params: { timeline: 999 } }],
      }));
      await next((m) => m.op === 'batchResponse');
      await window.hostCommand('play on');
      await next((m) => m.op === 'event');
    }), PASSWORD);
    await sim.command('play off');
    assert.equal(opened.protocol, 'zyl.v2');
    assert.equal(opened.proofMatches, true);
    assert.equal(opened.closeCode, 1000);
    const ops = opened.messages.map((m) => m.op);
    assert.deepEqual(ops, ['hello', 'identified', 'batchResponse', 'event']);
    checkBatch(opened.messages[2]);
    assert.deepEqual(opened.messages[3], PLAY);

    const wrong = await page.evaluate((password) => window.openStructured(password, [], async () => {
      throw new Error('identified with a wrong password');
    }), WRONG_PASSWORD);
    assert.deepEqual([wrong.opened, wrong.closeCode, wrong.messages.map((m) => m.op)], [true, 4004, ['hello']]);

    const text = await page.evaluate(() => window.openText());
    assert.deepEqual([text.opened, text.errored, text.closeCode], [false, true, 1006]);
    assert.deepEqual(statuses, [101, 101, 403]);
    await page.close();
  } finally {
    await browser.close();
    await server.close();
  }
});
