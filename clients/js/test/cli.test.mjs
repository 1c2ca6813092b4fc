// The command line: its option checks, and `call` and `watch TOPIC` against a scripted
// structured-protocol server.
import { test, describe } from 'node:test';
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { fileURLToPath } from 'node:url';
import { FakeEngine } from './fake-engine.mjs';

const CLI = fileURLToPath(new URL('../bin/zyl.mjs', import.meta.url));

function startCli(args, env = {}) {
  const child = spawn(process.execPath, ['--experimental-websocket', CLI, ...args], {
    stdio: ['ignore', 'pipe', 'pipe'],
    env: { ...process.env, ZYL_PASSWORD: undefined, ...env },
  });
  const run = { child, stdout: '', stderr: '' };
  child.stdout.on('data', (chunk) => { run.stdout += chunk; });
  child.stderr.on('data', (chunk) => { run.stderr += chunk; });
  run.exit = new Promise((resolve) => child.once('exit', (code) => resolve(code)));
  return run;
}

async function runCli(args, env) {
  const run = startCli(args, env);
  const code = await run.exit;
  return { code, stdout: run.stdout, stderr: run.stderr };
}

describe('option errors exit with 2 and say what is wrong', () => {
  const cases = [
    [['--url', '127.0.0.1:7890', 'send', 'get.version'], /--url: "127.0.0.1:7890" is not a ws:\/\/ or wss:\/\/ URL/],
    [['--url', 'http://127.0.0.1:7890', 'call', 'version'], /--url: .* is not a ws:\/\//],
    [['--timeout', 'abc', 'send', 'get.version'], /--timeout: "abc" is not a whole number of milliseconds/],
    [['--timeout', '-5', 'send', 'get.version'], /--timeout: "-5" is not a whole number/],
    [['send', 'get.version', '--url'], /--url needs a value/],
    [['--url', '--json', 'send', 'get.version'], /--url needs a value/],
    [['--password', 'secret', 'send', 'get.version'], /--password is for call and watch TOPIC/],
    [['--password=', 'call', 'version'], /--password needs a value/],
    [['--verbose', 'send', 'get.version'], /unknown option --verbose/],
    [['call'], /call needs a METHOD/],
    [['call', 'angle.get', 'ticks'], /"ticks" is not NAME=VALUE/],
    [['call', 'angle.get', 'ticks=1', 'ticks=2'], /ticks is given twice/],
    [['send', 'a', 'b'], /send takes one TEXT/],
  ];
  for (const [args, message] of cases) {
    test(args.join(' '), async () => {
      const { code, stdout, stderr } = await runCli(args);
      assert.equal(code, 2);
      assert.match(stderr, message);
      assert.equal(stdout, '');
    });
  }
});

describe('the structured protocol from the shell', () => {
  test('call sends typed params and prints the result as exact JSON', async () => {
    const requests = [];
    const engine = await FakeEngine.start(async (peer) => {
      await peer.opening({ password: 'pw' });
      const text = await peer.nextText();
      requests.push(text);
      const { id, method } = JSON.parse(text);
      if (method === 'angle.get') {
        peer.send(`{"op":"response","id":${id},"ok":true,"result":{"angle":null,"ticks":9007199254740993}}`);
      } else {
        peer.send({ op: 'response', id, ok: false, error: { code: 'unknown_method', message: 'no such method' } });
      }
    });
    try {
      const done = await runCli(['--url', engine.url, 'call', 'angle.get', 'ticks=9007199254740993', 'track=-1',
        'name=Intro', 'exact=true', 'quoted="3"', 'empty='], { ZYL_PASSWORD: 'pw' });
      assert.equal(done.code, 0, done.stderr);
      assert.equal(JSON.parse(requests[0].replace(/"id":\d+/, '"id":0')).params.name, 'Intro');
      assert.match(requests[0],
        /"params":\{"ticks":9007199254740993,"track":-1,"name":"Intro","exact":true,"quoted":"3","empty":""\}/);
      assert.match(done.stdout, /"ticks": 9007199254740993\b/);
      assert.equal(done.stdout.includes('"angle": null'), true);
      const failed = await runCli(['--url', engine.url, '--password', 'pw', 'call', 'nope']);
      assert.equal(failed.code, 1);
      assert.equal(JSON.parse(failed.stdout).error.code, 'unknown_method');
      const refused = await runCli(['--url', engine.url, 'call', 'version']);
      assert.equal(refused.code, 2);
      assert.match(refused.stderr, /password/);
    } finally {
      await engine.stop();
    }
  });

  test('watch prints the events and says once when it connects and once per reconnect', async () => {
    const identifies = [];
    const engine = await FakeEngine.start(async (peer) => {
      identifies.push(await peer.opening());
      if (identifies.length === 1) {
        const subscribe = await peer.next();
        peer.send({ op: 'response', id: subscribe.id, ok: true, result: { subscriptions: subscribe.topics } });
        peer.send({ op: 'event', topic: 'transport', data: { type: 'play', on: true } });
        peer.close(1001, 'going away');
      } else {
        peer.send({ op: 'event', topic: 'marker', data: { type: 'rebuild', count: 2 } });
      }
    });
    const watcher = startCli(['--url', engine.url, 'watch', 'transport', 'marker']);
    try {
      await new Promise((resolve, reject) => {
        const timer = setTimeout(() => reject(new Error(`watch printed ${JSON.stringify(watcher)}`)), 10000);
        watcher.child.stdout.on('data', () => {
          if (watcher.stdout.split('\n').length < 3) return;
          clearTimeout(timer);
          resolve();
        });
      });
      watcher.child.kill('SIGINT');
      assert.equal(await watcher.exit, 0);
      assert.deepEqual(watcher.stdout.trim().split('\n').map((line) => JSON.parse(line)), [
        { op: 'event', topic: 'transport', data: { type: 'play', on: true } },
        { op: 'event', topic: 'marker', data: { type: 'rebuild', count: 2 } },
      ]);
      assert.deepEqual(identifies.map((identify) => identify.subscriptions), [[], ['transport', 'marker']]);
      const status = watcher.stderr.trim().split('\n');
      assert.equal(status.length, 3, watcher.stderr);
      assert.match(status[0], /^zyl: connected to ws:\/\/127\.0\.0\.1:\d+, watching transport, marker$/);
      assert.match(status[1], /^zyl: connection lost \(1001\), reconnecting$/);
      assert.match(status[2], /^zyl: reconnected to /);
    } finally {
      watcher.child.kill('SIGKILL');
      await engine.stop();
    }
  });
});
