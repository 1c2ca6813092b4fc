// Interop with the `ws` package, the most common Node WebSocket client.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import WebSocket from 'ws';
import { ZylClient } from '../../clients/js/index.mjs';
import { ENGINE_URL, EXPECTED_INFO_COMMANDS, PLAY_EVENT, PROJECT, Simulator, WAIT_MS } from './lib/harness.mjs';

// Reads the socket as a queue of text frames, so each step awaits the next one it wants.
function frames(socket) {
  const queue = [];
  const waiters = [];
  socket.on('message', (data, isBinary) => {
    const text = isBinary ? null : data.toString('utf8');
    const waiter = waiters.findIndex((w) => w.test(text));
    if (waiter >= 0) waiters.splice(waiter, 1)[0].resolve(text);
    else queue.push(text);
  });
  return (test = () => true) => {
    const index = queue.findIndex(test);
    if (index >= 0) return Promise.resolve(queue.splice(index, 1)[0]);
    return new Promise((resolve, reject) => {
      const timer = setTimeout(() => reject(new Error('no matching frame in time')), WAIT_MS);
      waiters.push({ test, resolve: (text) => { clearTimeout(timer); resolve(text); } });
    });
  };
}

const isReply = (text) => !text.startsWith('vitals:') && !text.startsWith('event:');

let sim;
before(async () => { sim = await Simulator.start({ project: PROJECT }); });
after(async () => {
  const end = await sim.quit();
  assert.equal(end.code, 0, sim.stderr);
  assert.equal(end.ledger.balanced, true);
});

test('ws: handshake, queries, pushes, ping and close', async () => {
  const socket = new WebSocket(ENGINE_URL, { origin: 'http://localhost:8000' });
  const next = frames(socket);
  await new Promise((resolve, reject) => { socket.once('open', resolve); socket.once('error', reject); });
  assert.equal(socket.extensions, '', 'the engine negotiates no extension');

  socket.send('get.version');
  assert.equal(await next(isReply), 'version:1.2.4');

  socket.send('get.info');
  const info = await next(isReply);
  assert.match(info, /^info:/);
  const record = JSON.parse(info.slice('info:'.length));
  assert.deepEqual(record.commands, EXPECTED_INFO_COMMANDS);
  assert.equal(record.version, '1.2.4');

  socket.send('get.angle:0');
  assert.equal(await next(isReply), 'angle:2');
  socket.send('get.sequence');
  const sequence = JSON.parse((await next(isReply)).slice('sequence:'.length));
  assert.deepEqual([sequence.timelineID, sequence.width, sequence.height, sequence.fps], [3, 1280, 720, 25]);

  socket.send('vitals.subscribe');
  const vitals = JSON.parse((await next((text) => text.startsWith('vitals:'))).slice('vitals:'.length));
  assert.equal(vitals.v, '1.2.4');
  assert.equal(vitals.tracks, 2);
  await sim.command('play on');
  assert.equal(await next((text) => text.startsWith('event:')), PLAY_EVENT);
  const playing = JSON.parse((await next((text) => text.startsWith('vitals:') && text.includes('"playing":true'))).slice(7));
  assert.equal(playing.audioPeakDb, -12.5);
  await sim.command('play off');

  const pong = new Promise((resolve) => socket.once('pong', resolve));
  socket.ping('interop-ping');
  assert.equal((await pong).toString(), 'interop-ping');

  const closed = new Promise((resolve) => socket.once('close', (code) => resolve(code)));
  socket.close(1000, 'done');
  assert.equal(await closed, 1000);
});

test('ws: an origin off the allow-list is refused with 403; listing it admits it', async () => {
  const attempt = () => new Promise((resolve) => {
    const socket = new WebSocket(ENGINE_URL, { origin: 'http://evil.test:8000' });
    socket.once('unexpected-response', (_request, response) => { resolve(response.statusCode); socket.terminate(); });
    socket.once('open', () => { resolve('open'); socket.close(); });
    socket.once('error', () => {});
  });
  assert.equal(await attempt(), 403);
  sim.writeOrigins(['# tools of this test', 'https://evil.test:9999/path  # any port, any scheme']);
  assert.equal(await attempt(), 'open');
});

test('ws: the project client runs on it when handed the constructor', async () => {
  const client = new ZylClient({ url: ENGINE_URL, WebSocket, reconnect: false });
  await client.connect();
  assert.equal((await client.getVersion()).version, '1.2.4');
  assert.equal((await client.getAngle(0)).angle, 2);
  const record = new Promise((resolve) => client.on('vitals', resolve));
  await client.subscribeVitals();
  assert.equal((await record).v, '1.2.4');
  const event = new Promise((resolve) => client.on('event', resolve));
  await sim.command('record on');
  assert.deepEqual(await event, { topic: 'transport', type: 'record', on: true });
  await sim.command('record off');
  await client.close();
});
