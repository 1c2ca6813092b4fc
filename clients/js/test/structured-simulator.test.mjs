// The client's structured protocol against the real engine inside the host simulator, with and
// without a password, and the connects that must fail: a wrong password, and an engine that
// is not listening, where the process must also end by itself.
import { test, describe, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { fileURLToPath } from 'node:url';
import { ZylAuthenticationError, ZylClient, ZylConnectionError, ZylRequestError } from '../index.mjs';
import { ENGINE_URL, Simulator } from './simulator.mjs';

const PROJECT = fileURLToPath(new URL('./fixtures/project.json', import.meta.url));
const INDEX = fileURLToPath(new URL('../index.mjs', import.meta.url));
const PASSWORD = 'a long secret ✓';
// Far above how long a refused connect takes, far below the opening's time-out: a process
// that needs longer is kept alive by something the client left behind.
const PROMPT_EXIT_MS = 5000;
const OPENING_TIMEOUT_MS = 60000;

function nextEvent(client, topic, ms = 15000) {
  return new Promise((resolve, reject) => {
    const timer = setTimeout(() => { off(); reject(new Error(`no ${topic} event within ${ms} ms`)); }, ms);
    const off = client.on(topic, (data) => {
      clearTimeout(timer);
      off();
      resolve(data);
    });
  });
}

// Runs one connect in a process of its own, which must end without being told to; resolves
// with what the connect printed and how long the process lived.
function connectInChild(options) {
  const script = `import { ZylClient } from ${JSON.stringify(INDEX)};
    const client = new ZylClient(${JSON.stringify({ url: ENGINE_URL, protocol: 2, timeoutMs: OPENING_TIMEOUT_MS, ...options })});
    await client.connect().then(() => console.log('connected'),
      (error) => console.log(JSON.stringify({ name: error.name, closeCode: error.closeCode })));`;
  const started = Date.now();
  const child = spawn(process.execPath, ['--experimental-websocket', '--input-type=module', '-e', script],
    { stdio: ['ignore', 'pipe', 'pipe'] });
  let stdout = '';
  child.stdout.on('data', (chunk) => { stdout += chunk; });
  return new Promise((resolve) => {
    const timer = setTimeout(() => child.kill('SIGKILL'), PROMPT_EXIT_MS);
    child.once('exit', (code, signal) => {
      clearTimeout(timer);
      resolve({ code, signal, stdout: stdout.trim(), ms: Date.now() - started });
    });
  });
}

async function checkSession(client, sim) {
  assert.equal((await client.request('version')).version, '1.2.4');
  const sequence = await client.request('sequence.get');
  assert.deepEqual([sequence.timelineID, sequence.width, sequence.height], [7, 1920, 1080]);
  await assert.rejects(client.request('sequence.get', { timeline: 999 }),
    (error) => error instanceof ZylRequestError && error.code === 'not_found');
  const [angle, mistyped] = await client.batch([
    { method: 'angle.get', params: { ticks: 0 } },
    { method: 'angle.get', params: { ticks: '0' } },
  ]);
  assert.deepEqual(angle, { ok: true, result: { angle: 3, timelineID: 7 } });
  assert.equal(mistyped.ok, false);
  assert.deepEqual([mistyped.error.code, mistyped.error.param], ['invalid_params', 'ticks']);
  const play = nextEvent(client, 'transport');
  await sim.command('play on');
  assert.deepEqual(await play, { type: 'play', on: true });
  const stop = nextEvent(client, 'transport');
  await sim.command('play off');
  assert.deepEqual(await stop, { type: 'play', on: false });
}

describe('protocol 2 against the engine in the simulator', () => {
  let sim;
  before(async () => { sim = await Simulator.start({ project: PROJECT }); });
  after(async () => {
    const end = await sim?.quit();
    assert.equal(end?.code, 0, `simulator exit ${JSON.stringify(end)}`);
    assert.equal(end.ledger?.balanced, true);
  });

  test('without a password: requests, a batch and subscribed events', async () => {
    const client = new ZylClient({ url: ENGINE_URL, protocol: 2, reconnect: false });
    await client.connect();
    try {
      assert.deepEqual(await client.subscribe(['transport']), ['transport']);
      await checkSession(client, sim);
    } finally {
      await client.close();
    }
  });

  test('with a password: the same session; a wrong or missing password is refused', async () => {
    sim.writeSettings({ password: PASSWORD });
    try {
      const client = new ZylClient({ url: ENGINE_URL, protocol: 2, password: PASSWORD, subscriptions: ['transport'], reconnect: false });
      await client.connect();
      try {
        await checkSession(client, sim);
      } finally {
        await client.close();
      }

      const wrong = new ZylClient({ url: ENGINE_URL, protocol: 2, password: `${PASSWORD} `, reconnect: false });
      await assert.rejects(wrong.connect(), (error) => error instanceof ZylAuthenticationError && error.closeCode === 4004);
      assert.equal(wrong.connected, false);
      const without = new ZylClient({ url: ENGINE_URL, protocol: 2, reconnect: false });
      await assert.rejects(without.connect(), ZylAuthenticationError);
      // The text protocol would walk around the password, so the engine refuses its handshake.
      const text = new ZylClient({ url: ENGINE_URL, reconnect: false });
      await assert.rejects(text.connect(), ZylConnectionError);
    } finally {
      sim.writeSettings({});
    }
  });

  test('a process whose connect the engine refuses for a wrong password ends by itself', async () => {
    sim.writeSettings({ password: PASSWORD });
    try {
      const run = await connectInChild({ password: 'not the password' });
      assert.deepEqual([run.code, run.signal], [0, null], `killed after ${run.ms} ms: something kept it running`);
      assert.deepEqual(JSON.parse(run.stdout), { name: 'ZylAuthenticationError', closeCode: 4004 });
    } finally {
      sim.writeSettings({});
    }
  });

  test('with the engine detached nothing listens: the connect rejects and the process ends by itself', async () => {
    await sim.command('detach');
    try {
      const run = await connectInChild({});
      assert.deepEqual([run.code, run.signal], [0, null], `killed after ${run.ms} ms: something kept it running`);
      assert.equal(JSON.parse(run.stdout).name, 'ZylConnectionError');
    } finally {
      await sim.command('attach');
    }
    // And it is reached again once back.
    const client = new ZylClient({ url: ENGINE_URL, protocol: 2, reconnect: false });
    await client.connect();
    assert.equal((await client.request('version')).version, '1.2.4');
    await client.close();
  });

  test('a first connect told to retry waits for the engine, but not past a wrong password or close()', async () => {
    const backoff = { initialMs: 50, maxMs: 100, jitter: 0 };
    await sim.command('detach');
    const client = new ZylClient({ url: ENGINE_URL, protocol: 2, retryFirstConnect: true, backoff });
    const failures = [];
    client.on('error', (error) => failures.push(error));
    let attached = false;
    try {
      const connected = client.connect();
      await new Promise((resolve) => { const off = client.on('reconnecting', ({ attempt }) => { if (attempt >= 2) { off(); resolve(); } }); });
      await sim.command('attach');
      attached = true;
      await connected;
      assert.equal((await client.request('version')).version, '1.2.4');
      assert.ok(failures.length >= 2 && failures.every((error) => error instanceof ZylConnectionError), String(failures));
    } finally {
      if (!attached) await sim.command('attach');
      await client.close();
    }

    sim.writeSettings({ password: PASSWORD });
    try {
      const wrong = new ZylClient({ url: ENGINE_URL, protocol: 2, password: 'not the password', retryFirstConnect: true, backoff });
      let retries = 0;
      wrong.on('reconnecting', () => { retries += 1; });
      await assert.rejects(wrong.connect(), (error) => error instanceof ZylAuthenticationError && error.closeCode === 4004);
      assert.equal(retries, 0);
    } finally {
      sim.writeSettings({});
    }

    await sim.command('detach');
    try {
      const given = new ZylClient({ url: ENGINE_URL, protocol: 2, retryFirstConnect: true, backoff });
      const connecting = given.connect();
      await new Promise((resolve) => { const off = given.on('reconnecting', () => { off(); resolve(); }); });
      await given.close();
      await assert.rejects(connecting, ZylConnectionError);
      let later = 0;
      given.on('reconnecting', () => { later += 1; });
      await new Promise((resolve) => setTimeout(resolve, 400));
      assert.equal(later, 0, 'attempts went on after close()');
    } finally {
      await sim.command('attach');
    }
  });
});
