// Interop with headless Chromium: a page served from an admitted origin talks to the engine;
// the same page from an origin off the allow-list never opens. Chromium sends no pings, so
// there is none to check here.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { fileURLToPath } from 'node:url';
import { PLAY_EVENT, PROJECT, Simulator, WAIT_MS, launchChromium, serveStatic } from './lib/harness.mjs';

const PAGE_ROOT = fileURLToPath(new URL('./page/', import.meta.url));

let sim;
let server;
let browser;
before(async () => {
  sim = await Simulator.start({ project: PROJECT });
  server = await serveStatic(PAGE_ROOT);
  browser = await launchChromium(['--host-resolver-rules=MAP evil.test 127.0.0.1']);
});
after(async () => {
  await browser?.close();
  await server?.close();
  const end = await sim.quit();
  assert.equal(end.code, 0, sim.stderr);
  assert.equal(end.ledger.balanced, true);
});

const text = (page, id) => page.locator(`#${id}`).textContent();

test('chromium: a page from localhost connects, queries, subscribes and shows live data', async () => {
  const page = await browser.context.newPage();
  await page.goto(`http://localhost:${server.port}/live.html`);
  await page.waitForFunction(() => document.getElementById('state').textContent === 'open', null, { timeout: WAIT_MS });
  await page.waitForFunction(() => Number(document.getElementById('vitals-count').textContent) >= 1, null, { timeout: WAIT_MS });
  assert.equal(await text(page, 'version'), '1.2.4');
  assert.equal(await text(page, 'commands'), '14');
  assert.equal(await text(page, 'angle'), '2');
  assert.match(await text(page, 'vitals'), /^playing=false tracks=2 peak=-999$/);

  await sim.command('play on');
  await page.waitForFunction((expected) => document.getElementById('event').textContent === expected, PLAY_EVENT, { timeout: WAIT_MS });
  await page.waitForFunction(() => document.getElementById('vitals').textContent.startsWith('playing=true'), null, { timeout: WAIT_MS });
  assert.match(await text(page, 'vitals'), /peak=-12\.5$/);
  await sim.command('play off');

  await page.evaluate(() => window.socket.close(1000));
  await page.waitForFunction(() => window.journal.closeCode !== null, null, { timeout: WAIT_MS });
  assert.equal(await text(page, 'close'), '1000 clean=true');
  await page.close();
});

test('chromium: the same page from evil.test is refused, and admitted once listed', async () => {
  const visit = async () => {
    const page = await browser.context.newPage();
    await page.goto(`http://evil.test:${server.port}/live.html`);
    await page.waitForFunction(() => window.journal.closeCode !== null || window.journal.opened, null, { timeout: WAIT_MS });
    const journal = await page.evaluate(() => window.journal);
    await page.close();
    return journal;
  };
  const refused = await visit();
  assert.equal(refused.opened, false);
  assert.equal(refused.errored, true);
  assert.equal(refused.closeCode, 1006);
  assert.deepEqual(refused.frames, []);

  sim.writeOrigins(['evil.test']);
  const admitted = await visit();
  assert.equal(admitted.opened, true);
});
