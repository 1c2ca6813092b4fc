// The client against the real engine inside the host simulator.
import { test, describe, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { fileURLToPath } from 'node:url';
import { spawn } from 'node:child_process';
import { ZylClient, ZylConnectionError, ZylReplyError } from '../index.mjs';
import { ENGINE_URL, Simulator } from './simulator.mjs';

const PROJECT = fileURLToPath(new URL('./fixtures/project.json', import.meta.url));
const CLI = fileURLToPath(new URL('../bin/zyl.mjs', import.meta.url));
const SECOND = 254016000000;

function nextPush(client, type, predicate = () => true, ms = 15000) {
  return new Promise((resolve, reject) => {
    const timer = setTimeout(() => { off(); reject(new Error(`no ${type} push within ${ms} ms`)); }, ms);
    const off = client.on(type, (value, text) => {
      if (!predicate(value)) return;
      clearTimeout(timer);
      off();
      resolve({ value, text });
    });
  });
}

function runCli(args) {
  return new Promise((resolve) => {
    const child = spawn(process.execPath, [CLI, ...args], { stdio: ['ignore', 'pipe', 'pipe'] });
    let stdout = '';
    let stderr = '';
    child.stdout.on('data', (chunk) => { stdout += chunk; });
    child.stderr.on('data', (chunk) => { stderr += chunk; });
    child.on('exit', (code) => resolve({ code, stdout, stderr }));
  });
}

describe('against the engine in the simulator', () => {
  let sim;
  let client;
  before(async () => {
    sim = await Simulator.start({ project: PROJECT });
    client = new ZylClient({ url: ENGINE_URL, backoff: { initialMs: 100, jitter: 0 } });
    await client.connect();
  });
  after(async () => {
    await client?.close();
    const end = await sim?.quit();
    assert.equal(end?.code, 0, `simulator exit ${JSON.stringify(end)}`);
    assert.equal(end.ledger?.balanced, true);
  });

  test('describes itself', async () => {
    assert.equal((await client.getVersion()).version, '1.2.4');
    const { info } = await client.getInfo();
    assert.equal(info.engine, 'ZYL Engine');
    assert.equal(info.commands.length, 14);
    assert.ok(info.commands.includes('get.angle.marker'));
    assert.equal(info.originPolicy, 'allowlist');
  });

  test('lists host commands, skipping one the host cannot describe', async () => {
    const list = await client.getCommands();
    assert.equal(list.count, 3);
    // Fields come in the order first, third, second, fourth, colons turned into semicolons.
    assert.deepEqual(list.commands, [
      ['cmd.transport.play', 'Transport', 'Play', 'Starts playback'],
      ['cmd.edit;razor', 'Edit', 'Razor', 'Cuts; at the playhead'],
    ]);
  });

  test('timeline queries', async () => {
    const { sequence } = await client.getSequence();
    assert.deepEqual(
      [sequence.timelineID, sequence.width, sequence.height, sequence.fps, sequence.ticksPerFrame],
      [7, 1920, 1080, 29.97, 8475667200]);
    assert.equal((await client.getAngle(0)).angle, 3);
    assert.equal((await client.getAngle(SECOND, 0)).angle, 1);
    // A marker name outside ASCII and with a colon is found as typed.
    assert.equal((await client.getAngleAtMarker('Café: take 2')).angle, 1);
    assert.equal((await client.getAngleAtMarker('nothing here')).angle, 0);
    const size = await client.getClipSize(0);
    assert.deepEqual([size.width, size.height], [3840, 2160]);
    const atMarker = await client.getClipSizeAtMarker('Intro');
    assert.deepEqual([atMarker.width, atMarker.height], [3840, 2160]);
    const transitions = await client.getTransitions(SECOND, 2 * SECOND, 0);
    assert.deepEqual(transitions.in, { name: 'Cross Dissolve', duration: 8475667200 });
  });

  test('error replies reject with their reason and leave the connection usable', async () => {
    await assert.rejects(client.send('get.angle:'), (e) => e instanceof ZylReplyError && e.reason === 'parse');
    await assert.rejects(client.multicamAngle(17), (e) => e.reason === 'range' && e.kind === 'multicam.angle.error');
    await assert.rejects(client.getTransitions(0, SECOND, 5), (e) => e.reason === 'noclip');
    await assert.rejects(client.getSequence(-1), (e) => e.reason === 'notimeline');
    assert.equal((await client.getVersion()).version, '1.2.4');
  });

  test('host commands: exec answers, the fallback does not, both reach the host', async () => {
    const from = sim.lines.length;
    const echo = await client.exec('edit', 'cmd:with:colons');
    assert.deepEqual([echo.category, echo.command], ['edit', 'cmd:with:colons']);
    assert.equal((await client.runHostCommand('cmd.transport.play')).kind, 'none');
    assert.equal((await client.multicamAngle(3)).angle, 3);
    // The reply to the next request proves the unanswered one did not shift the queue.
    assert.equal((await client.getVersion()).version, '1.2.4');
    const exec = sim.lines.slice(from).filter((line) => line.event === 'exec').map((line) => [line.category, line.command]);
    assert.deepEqual(exec, [['edit', 'cmd:with:colons'], [null, 'cmd.transport.play'], [null, 'cmd.multicam.choosenocut.camera3']]);
  });

  test('multi-frame replies: the dump and the scan', async () => {
    const dump = await client.dumpAngle(0, 1);
    assert.equal(dump.lines[0], '=== VIDEO SEGMENT NODE DUMP START ===');
    assert.equal(dump.lines.at(-1), '=== VIDEO SEGMENT NODE DUMP END ===');
    assert.deepEqual([dump.time, dump.track], [0, 1]);
    assert.deepEqual(dump.timelines, [7]);
    assert.deepEqual(dump.summary, { probed: 1, withNode: 1, printed: 1 });
    assert.ok(dump.lines.some((line) => line.includes('Multicam_SelectedTrack = 2')));
    const { scan } = await client.tlscan(0, 20, 3000);
    assert.equal(scan.hits, 1);
    assert.deepEqual(scan.groups, [{ a: 7, b: 7, n: 1, segs: 2, markers: 2 }]);
    assert.deepEqual(scan.marked, [{ id: 7, markers: 2 }]);
  });

  test('pushes: vitals records and transport events reach the listeners', async () => {
    await client.subscribeVitals();
    const record = await nextPush(client, 'vitals');
    assert.equal(record.value.v, '1.2.4');
    assert.equal(record.value.tracks, 4);
    assert.equal(record.value.soloActive, true);
    const event = nextPush(client, 'event', (e) => e.topic === 'transport' && e.type === 'play');
    await sim.command('play on');
    assert.equal((await event).text, 'event:transport:{"type":"play","on":true}');
    const playing = await nextPush(client, 'vitals', (v) => v.playing);
    assert.equal(playing.value.audioPeakDb, -6);
    const rebuilt = nextPush(client, 'event', (e) => e.topic === 'marker');
    await sim.command('markers-rebuilt');
    assert.deepEqual((await rebuilt).value, { topic: 'marker', type: 'rebuild', count: 2 });
    // Requests still pair up while pushes flow.
    assert.equal((await client.getAngle(0)).angle, 3);
    await sim.command('play off');
  });

  test('the command-line client', async () => {
    const version = await runCli(['send', 'get.version']);
    assert.deepEqual([version.code, version.stdout], [0, 'version:1.2.4\n']);
    const error = await runCli(['send', 'get.angle:']);
    assert.deepEqual([error.code, error.stdout], [1, 'angle.error:parse\n']);
    const list = await runCli(['send', 'get.commands']);
    assert.equal(list.stdout.trim().split('\n').at(-1), 'commands.done:3');
    const host = await runCli(['send', 'cmd.transport.play']);
    assert.deepEqual([host.code, host.stdout], [0, '']);
    assert.match(host.stderr, /handed to the host/);
  });

  test('the command-line watcher prints records and events as they come', async () => {
    const watcher = spawn(process.execPath, [CLI, 'watch'], { stdio: ['ignore', 'pipe', 'pipe'] });
    const lines = [];
    const seen = (test) => new Promise((resolve, reject) => {
      const timer = setTimeout(() => reject(new Error(`watch printed ${JSON.stringify(lines)}`)), 15000);
      const look = () => {
        if (!lines.some(test)) return;
        clearTimeout(timer);
        watcher.stdout.off('data', look);
        resolve();
      };
      watcher.stdout.on('data', look);
      look();
    });
    let buffered = '';
    watcher.stdout.setEncoding('utf8');
    watcher.stdout.on('data', (chunk) => {
      buffered += chunk;
      const parts = buffered.split('\n');
      buffered = parts.pop();
      lines.push(...parts);
    });
    try {
      await seen((line) => line.startsWith('vitals:{"v":"1.2.4"'));
      await sim.command('rewind on');
      await seen((line) => line === 'event:transport:{"type":"rewind","on":true}');
      await sim.command('rewind off');
    } finally {
      const exited = new Promise((resolve) => watcher.once('exit', resolve));
      watcher.kill('SIGINT');
      await exited;
    }
  });

  test('the engine going away fails pending work; it is reached again after it returns', async () => {
    const closed = nextPush(client, 'close');
    // Settled before anything is awaited: the close may reach the client before the
    // simulator has said that the detach is done.
    const pending = client.getVersion().then(
      (reply) => reply,
      (error) => error,
    );
    await sim.command('detach');
    await closed;
    // The reply may have beaten the detach; either way nothing hangs.
    const outcome = await pending;
    assert.ok(outcome instanceof ZylConnectionError || outcome.version === '1.2.4', String(outcome));
    const reopened = nextPush(client, 'open', () => true, 30000);
    await sim.command('attach');
    await reopened;
    assert.equal((await client.getVersion()).version, '1.2.4');
  });
});
