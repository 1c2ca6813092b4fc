// The README's three ways in, taken from the README itself and run as it says against the
// engine playing the demo project: the page in headless Chromium, the Node script, the Python
// script. Each must print what the README promises and close its connection.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { readFileSync } from 'node:fs';
import { mkdtemp, rm, symlink, writeFile } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { REPO, Simulator, WAIT_MS, launchChromium, serveStatic } from './lib/harness.mjs';

const README = readFileSync(join(REPO, 'README.md'), 'utf8');
const SECTION = README.split('\n## Three ways in\n')[1]?.split('\n## ')[0] ?? '';
const block = (language) => {
  const found = new RegExp('```' + language + '\\n([\\s\\S]*?)\\n```').exec(SECTION);
  assert.ok(found, `the README's "Three ways in" has no ${language} example`);
  return found[1];
};
const PRINTED = 'engine 1.2.4\ntimeline 3 1920x1080\n';
// A script that has closed its client ends by itself, at once.
const EXIT_MS = 10000;

function run(command, args, env = {}) {
  return new Promise((resolve) => {
    const child = spawn(command, args, { cwd: REPO, env: { ...process.env, ...env }, stdio: ['ignore', 'pipe', 'pipe'] });
    let stdout = '';
    let stderr = '';
    child.stdout.on('data', (chunk) => { stdout += chunk; });
    child.stderr.on('data', (chunk) => { stderr += chunk; });
    const timer = setTimeout(() => child.kill('SIGKILL'), EXIT_MS);
    child.once('exit', (code, signal) => {
      clearTimeout(timer);
      resolve({ code, signal, stdout, stderr });
    });
  });
}

let sim;
before(async () => { sim = await Simulator.start({ demo: true }); });
after(async () => {
  const end = await sim.quit();
  assert.equal(end.code, 0, sim.stderr);
  assert.equal(end.ledger.balanced, true);
});

test('readme: the Node example prints the version and the sequence, then ends by itself', async () => {
  const ran = await run(process.execPath, ['--experimental-websocket', '--input-type=module', '-e', block('js')]);
  assert.deepEqual([ran.code, ran.signal], [0, null], ran.stderr);
  assert.equal(ran.stdout, PRINTED);
});

test('readme: the Python example prints the same', async () => {
  const ran = await run('/usr/bin/python3', ['-c', block('python')], { PYTHONPATH: join(REPO, 'clients/python') });
  assert.deepEqual([ran.code, ran.signal], [0, null], ran.stderr);
  assert.equal(ran.stdout, PRINTED);
});

test('readme: the page, served from the repository root, shows them and closes its connection', async () => {
  // The repository root as the README has it: the page beside clients/.
  const root = await mkdtemp(join(tmpdir(), 'zyl-readme-'));
  await writeFile(join(root, 'hello.html'), block('html'));
  await symlink(join(REPO, 'clients'), join(root, 'clients'));
  const server = await serveStatic(root);
  const browser = await launchChromium();
  try {
    const page = await browser.context.newPage();
    const url = `http://localhost:${server.port}/hello.html`;
    const devtools = await browser.context.newCDPSession(page);
    const sockets = { created: 0, closed: 0 };
    devtools.on('Network.webSocketCreated', () => { sockets.created += 1; });
    devtools.on('Network.webSocketClosed', () => { sockets.closed += 1; });
    await devtools.send('Network.enable');
    await page.goto(url);
    await page.waitForFunction(() => document.getElementById('out').textContent.startsWith('engine'), null, { timeout: WAIT_MS });
    assert.equal(await page.locator('#out').textContent(), 'engine 1.2.4, timeline 3, 1920x1080');
    const deadline = Date.now() + WAIT_MS;
    while (sockets.closed < 1 && Date.now() < deadline) await new Promise((r) => setTimeout(r, 50));
    assert.deepEqual(sockets, { created: 1, closed: 1 });
    await page.close();
  } finally {
    await browser.close();
    await server.close();
    await rm(root, { recursive: true, force: true });
  }
});

test('readme: the page has a charset and shows a refusal instead of hanging', async () => {
  const root = await mkdtemp(join(tmpdir(), 'zyl-readme-'));
  await writeFile(join(root, 'hello.html'), block('html'));
  await symlink(join(REPO, 'clients'), join(root, 'clients'));
  const server = await serveStatic(root);
  const browser = await launchChromium();
  // A settings file the engine cannot read refuses every handshake.
  sim.writeSettingsText('{"password": tru}');
  try {
    const page = await browser.context.newPage();
    page.on('pageerror', () => {}); // the example rethrows the refusal, as it should
    // The static server names no charset: the page must name its own.
    await page.goto(`http://localhost:${server.port}/hello.html`);
    assert.equal(await page.evaluate(() => document.characterSet), 'UTF-8');
    await page.waitForFunction(() => document.getElementById('out').textContent.startsWith('not connected'), null, { timeout: WAIT_MS });
    assert.match(await page.locator('#out').textContent(), /^not connected: .*; open http:\/\/127\.0\.0\.1:7890\/ to see why$/);
    await page.close();
  } finally {
    sim.removeSettings();
    await browser.close();
    await server.close();
    await rm(root, { recursive: true, force: true });
  }
});
