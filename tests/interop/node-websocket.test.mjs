// Interop with Node's own WebSocket (the browser API; Node 20 needs --experimental-websocket).
// That API has no way to send a ping, so this client covers everything else.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { ENGINE_URL, EXPECTED_INFO_COMMANDS, PLAY_EVENT, PROJECT, Simulator, WAIT_MS } from './lib/harness.mjs';

let sim;
before(async () => { sim = await Simulator.start({ project: PROJECT }); });
after(async () => {
  const end = await sim.quit();
  assert.equal(end.code, 0, sim.stderr);
  assert.equal(end.ledger.balanced, true);
});

test('node WebSocket: handshake, queries, pushes and close', async () => {
  assert.equal(typeof globalThis.WebSocket, 'function', 'run with --experimental-websocket on Node 20');
  const socket = new WebSocket(ENGINE_URL);
  const received = [];
  const waiters = [];
  socket.addEventListener('message', (event) => {
    received.push(event.data);
    for (const waiter of [...waiters]) waiter();
  });
  // Resolves with the first frame not yet taken that passes `test`.
  let taken = 0;
  const next = (test) => new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error(`no matching frame; got ${JSON.stringify(received)}`)), WAIT_MS);
    const look = () => {
      for (let i = taken; i < received.length; i++) {
        if (test(received[i])) {
          taken = i + 1;
          waiters.splice(waiters.indexOf(look), 1);
          clearTimeout(timer);
          resolve(received[i]);
          return;
        }
      }
    };
    waiters.push(look);
    look();
  });

  await new Promise((resolve, reject) => {
    socket.addEventListener('open', resolve);
    socket.addEventListener('error', () => reject(new Error('no connection')));
  });
  const reply = (text) => !text.startsWith('vitals:') && !text.startsWith('event:');

  socket.send('get.version');
  assert.equal(await next(reply), 'version:1.2.4');
  socket.send('get.info');
  const info = JSON.parse((await next(reply)).slice('info:'.length));
  assert.deepEqual(info.commands, EXPECTED_INFO_COMMANDS);
  assert.equal(info.telemetry, false);
  // Text that matches no command goes to the host and is not answered: the next reply
  // belongs to the next command.
  socket.send('get.version ');
  socket.send('get.angle.marker:Start');
  assert.equal(await next(reply), 'angle:2');

  socket.send('vitals.subscribe');
  const vitals = JSON.parse((await next((text) => text.startsWith('vitals:'))).slice('vitals:'.length));
  assert.equal(vitals.v, '1.2.4');
  await sim.command('play on');
  assert.equal(await next((text) => text.startsWith('event:')), PLAY_EVENT);
  await sim.command('play off');
  assert.equal(await next((text) => text.startsWith('event:')), 'event:transport:{"type":"play","on":false}');

  const closed = new Promise((resolve) => socket.addEventListener('close', resolve));
  socket.close(1000);
  const event = await closed;
  assert.equal(event.code, 1000);
  assert.equal(event.wasClean, true);
  assert.ok(sim.lines.some((line) => line.event === 'exec' && line.command === 'get.version '));
});
