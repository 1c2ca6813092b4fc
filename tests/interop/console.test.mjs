// The developer console page in headless Chromium against the simulator playing its demo.
// ZYL_CONSOLE_SCREENSHOT=path saves what the page looks like at the end (docs/console.png).
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync, mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { REPO, Simulator, WAIT_MS, launchChromium, serveStatic } from './lib/harness.mjs';

let sim;
let server;
let browser;
let page;
before(async () => {
  sim = await Simulator.start({ demo: true });
  server = await serveStatic(REPO);
  browser = await launchChromium();
  page = await browser.context.newPage();
  await page.goto(`http://localhost:${server.port}/examples/console/`);
});
after(async () => {
  await browser?.close();
  await server?.close();
  const end = await sim.quit();
  assert.equal(end.code, 0, sim.stderr);
  assert.equal(end.ledger.balanced, true);
});

const waitText = (selector, test) => page.waitForFunction(
  ([sel, source]) => new Function('text', `return ${source}`)(document.querySelector(sel)?.textContent ?? ''),
  [selector, test], { timeout: WAIT_MS });

async function type(text, key = 'Enter') {
  const input = page.locator('#command');
  await input.fill(text);
  await input.press(key);
}

test('connects, names the engine and fills the dashboard from vitals records', async () => {
  await waitText('#status', "text.startsWith('connected')");
  await waitText('#engine-version', "text === '1.2.4'");
  await waitText('#record-age', "text === 'live'");
  assert.match(await page.locator('#tracks').textContent(), /^(\d+|n\/a)$/);
  await sim.command('set solo true');
  await page.waitForSelector('.lamp.solo.on', { timeout: WAIT_MS });
  await sim.command('timecode 01:00:00:12');
  await sim.command('play on');
  await page.waitForSelector('.lamp[data-field=playing].on', { timeout: WAIT_MS });
  await waitText('#timecode', "/^\\d\\d:\\d\\d:\\d\\d[:;]\\d\\d$/.test(text)");
});

test('sends commands, logs replies and remembers them', async () => {
  await type('get.version');
  await waitText('#log', "text.includes('← version:1.2.4')");
  await type('get.angle:');
  await waitText('#log', "text.includes('← angle.error:parse')");
  await type('no.such.thing');
  await waitText('#log', "text.includes('handed it to the host')");
  assert.ok(sim.lines.some((line) => line.event === 'exec' && line.command === 'no.such.thing'));
  const input = page.locator('#command');
  await input.fill('draft');
  await input.press('ArrowUp');
  assert.equal(await input.inputValue(), 'no.such.thing');
  await input.press('ArrowUp');
  await input.press('ArrowUp');
  assert.equal(await input.inputValue(), 'get.version');
  await input.press('ArrowDown');
  await input.press('ArrowDown');
  await input.press('ArrowDown');
  assert.equal(await input.inputValue(), 'draft');
});

test('completes from the engine command list, adding the colon where arguments follow', async () => {
  const input = page.locator('#command');
  await type('get.seq', 'Tab');
  assert.equal(await input.inputValue(), 'get.sequence');
  await type('multi', 'Tab');
  assert.equal(await input.inputValue(), 'multicam.angle:');
  await type('get.cl', 'Tab');
  assert.equal(await input.inputValue(), 'get.clipsize');
  assert.equal(await page.locator('#completions b').count(), 2);
  await type('get.sequence');
  await waitText('#log', "text.includes('← sequence:') || text.includes('← sequence.error:')");
  await input.fill('');
});

test('events reach the log and the peak meter moves while playing', async () => {
  await sim.command('play on');
  await waitText('#log', "text.includes('event:transport:')");
  await page.locator('#show-vitals').check();
  await waitText('#log', "text.includes('• vitals:{')");
  await waitText('#peak', "text.endsWith('dB')");
  const width = await page.locator('#meter-fill').evaluate((element) => parseFloat(element.style.width));
  assert.ok(width > 0 && width <= 100, `meter width ${width}`);
  const folder = mkdtempSync(join(tmpdir(), 'zyl-console-'));
  const path = process.env.ZYL_CONSOLE_SCREENSHOT ?? join(folder, 'console.png');
  await page.screenshot({ path });
  assert.deepEqual([...readFileSync(path).subarray(1, 4)], [0x50, 0x4e, 0x47]);
  rmSync(folder, { recursive: true, force: true });
});
