// The command line says why the engine refused it, as the engine's status page tells it,
// and what to do instead: against the real engine inside the host simulator.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { fileURLToPath } from 'node:url';
import { spawn } from 'node:child_process';
import { createServer } from 'node:net';
import { Simulator } from './simulator.mjs';

const CLI = fileURLToPath(new URL('../bin/zyl.mjs', import.meta.url));

function runCli(args) {
  return new Promise((resolve) => {
    const child = spawn(process.execPath, ['--experimental-websocket', CLI, ...args], {
      stdio: ['ignore', 'pipe', 'pipe'],
      env: { ...process.env, ZYL_PASSWORD: undefined },
    });
    let stdout = '';
    let stderr = '';
    child.stdout.on('data', (chunk) => { stdout += chunk; });
    child.stderr.on('data', (chunk) => { stderr += chunk; });
    child.on('exit', (code) => resolve({ code, stdout, stderr }));
  });
}

let sim;
before(async () => { sim = await Simulator.start(); });
after(async () => {
  const end = await sim?.quit();
  assert.equal(end?.code, 0, `simulator exit ${JSON.stringify(end)}`);
  assert.equal(end.ledger?.balanced, true);
});

test('with a password set, send and watch name call as the way', async () => {
  sim.writeSettings({ password: 'a long secret' });
  try {
    for (const args of [['send', 'get.version'], ['watch']]) {
      const refused = await runCli(args);
      assert.equal(refused.code, 2, args.join(' '));
      assert.match(refused.stderr, /text protocol off because settings\.json sets a password: use "zyl\.mjs call METHOD" with --password/);
    }
    const right = await runCli(['--password', 'a long secret', 'call', 'version']);
    assert.deepEqual([right.code, JSON.parse(right.stdout)], [0, { version: '1.2.4' }]);
    const wrong = await runCli(['--password', 'not it', 'call', 'version']);
    assert.equal(wrong.code, 2);
    assert.match(wrong.stderr, /refused the password \(4004.*give the password that settings\.json sets/);
  } finally {
    sim.removeSettings();
  }
});

test('a broken settings file is named with its line and column', async () => {
  sim.writeSettingsText('{\n  "password": tru\n}');
  try {
    for (const args of [['call', 'version'], ['send', 'get.version']]) {
      const refused = await runCli(args);
      assert.equal(refused.code, 2, args.join(' '));
      assert.match(refused.stderr, /refuses every connection while its settings file is broken: settings file ".*settings\.json": syntax error at line 2, column 18/);
      assert.match(refused.stderr, /mend or remove the file/);
    }
  } finally {
    sim.removeSettings();
  }
  const mended = await runCli(['send', 'get.version']);
  assert.deepEqual([mended.code, mended.stdout], [0, 'version:1.2.4\n']);
});

test('nothing listening is said as such', async () => {
  const free = createServer();
  await new Promise((done) => free.listen(0, '127.0.0.1', done));
  const { port } = free.address();
  await new Promise((done) => free.close(done));
  const refused = await runCli(['--url', `ws://127.0.0.1:${port}`, 'call', 'version']);
  assert.equal(refused.code, 2);
  assert.match(refused.stderr, /nothing listens there: is the editor running with ZYL Engine loaded\?/);
});

test('--password with send says what to do instead', async () => {
  const refused = await runCli(['--password', 'x', 'send', 'get.version']);
  assert.equal(refused.code, 2);
  assert.match(refused.stderr, /send speaks the text protocol, which has no password; with a password set, use call METHOD/);
});
