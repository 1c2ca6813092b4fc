// The developer console page in headless Chromium against the simulator playing its demo.
// ZYL_CONSOLE_SCREENSHOT=path saves what the page looks like at the end (docs/console.png).
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync, mkdirSync, mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { REPO, Simulator, WAIT_MS, launchChromium, serveStatic } from './lib/harness.mjs';

const ENGINE = 'ws://127.0.0.1:7890';
// Nothing listens here inside the test's own network namespace.
const NOWHERE = 'ws://127.0.0.1:7899';

// The demo project's markers, as the page shows them: name and timecode (the frame a marker
// falls in, at its sequence's rate: 29.97, 25 and 23.976 frames a second).
const DEMO_MARKERS = {
  3: [['Intro', '00:00:00:00'], ['Scène 2', '00:00:10:14'], ['Interview', '00:00:20:14'], ['Outro', '00:00:29:29']],
  17: [['Question 1', '00:00:00:00'], ['Question 2', '00:00:13:00'], ['Réponse', '00:00:24:00']],
  1042: [['B-roll start', '00:00:00:00'], ['Drone', '00:00:05:23']],
};

let sim;
let server;
let browser;
let page;
let consoleUrl;
before(async () => {
  sim = await Simulator.start({ demo: true });
  server = await serveStatic(REPO);
  browser = await launchChromium(['--host-resolver-rules=MAP evil.test 127.0.0.1']);
  consoleUrl = (host, query = '') => `http://${host}:${server.port}/examples/console/${query}`;
  page = await browser.context.newPage();
  await page.goto(consoleUrl('localhost'));
});
after(async () => {
  await browser?.close();
  await server?.close();
  const end = await sim.quit();
  assert.equal(end.code, 0, sim.stderr);
  assert.equal(end.ledger.balanced, true);
});

const waitText = (selector, test, on = page) => on.waitForFunction(
  ([sel, source]) => new Function('text', `return ${source}`)(document.querySelector(sel)?.textContent ?? ''),
  [selector, test], { timeout: WAIT_MS });

const connectedTo = (url) => `text === 'connected to ${url}'`;

async function type(text, key = 'Enter') {
  const input = page.locator('#command');
  await input.fill(text);
  await input.press(key);
}

const hostCommand = (command) => sim.until(
  (line) => line.event === 'exec' && line.command === command, WAIT_MS, `the host command ${command}`);

async function shownMarkers() {
  return page.locator('#marker-list li').evaluateAll((items) => items.map((item) => [
    item.querySelector('.marker')?.textContent, item.querySelector('.marker-time')?.textContent,
  ]));
}

test('connects over the structured protocol, names the engine and fills the dashboard from vitals events', async () => {
  await waitText('#status', connectedTo(ENGINE));
  await waitText('#engine-version', "text === '1.2.4'");
  await waitText('#log', `text.includes('"op":"identified","protocol":2')`);
  await waitText('#record-age', "text === 'live'");
  assert.match(await page.locator('#tracks').textContent(), /^(\d+|n\/a)$/);
  assert.equal(await page.locator('#address').textContent(), `engine address ${ENGINE} (the default)`);
  assert.equal(await page.locator('#use-default').isVisible(), false);
  await sim.command('set solo true');
  await page.waitForSelector('.lamp.solo.on', { timeout: WAIT_MS });
  await sim.command('timecode 01:00:00:12');
  await sim.command('play on');
  await page.waitForSelector('.lamp[data-field=playing].on', { timeout: WAIT_MS });
  await waitText('#timecode', "/^\\d\\d:\\d\\d:\\d\\d[:;]\\d\\d$/.test(text)");
});

test('sends requests, logs responses and errors, and remembers them', async () => {
  await type('version');
  await waitText('#log', `text.includes('"result":{"version":"1.2.4"}')`);
  await type('angle.get');
  await waitText('#log', `text.includes('"code":"invalid_params"')`);
  await type('commands.run {"command":"cmd.view.zoomtofit"}');
  await hostCommand('cmd.view.zoomtofit');
  await type('sequence.get {"timeline":');
  await waitText('#log', "text.includes('params are not JSON')");
  await type('sequence.get [17]');
  await waitText('#log', "text.includes('params are one JSON object')");
  // The page asks sequence.get {"timeline":N} itself for the markers' time base; neither
  // typed line may have gone out.
  const typedSequenceRequests = await page.locator('#log li.sent', { hasText: 'sequence.get' }).evaluateAll(
    (items) => items.filter((item) => !/"params":\{"timeline":\d+\}/.test(item.textContent)).length);
  assert.equal(typedSequenceRequests, 0);

  const input = page.locator('#command');
  await input.fill('draft');
  await input.press('ArrowUp');
  assert.equal(await input.inputValue(), 'sequence.get [17]');
  for (let i = 0; i < 4; i++) await input.press('ArrowUp');
  assert.equal(await input.inputValue(), 'version');
  for (let i = 0; i < 5; i++) await input.press('ArrowDown');
  assert.equal(await input.inputValue(), 'draft');
  await input.fill('');
});

test('completes method names from the engine description, adding the space where params follow', async () => {
  const input = page.locator('#command');
  await type('sequence.g', 'Tab');
  assert.equal(await input.inputValue(), 'sequence.get ');
  await type('multi', 'Tab');
  assert.equal(await input.inputValue(), 'multicam.setAngle ');
  assert.equal(await page.locator('#completions').textContent(), 'multicam.setAngle {"angle": integer}');
  await type('vers', 'Tab');
  assert.equal(await input.inputValue(), 'version');
  await type('clip.s', 'Tab');
  assert.equal(await input.inputValue(), 'clip.size');
  assert.deepEqual(await page.locator('#completions b').allTextContents(), ['clip.size', 'clip.sizeAtMarker']);
  await input.fill('');
});

test('lists the current timeline\'s markers, another timeline\'s on request, and what is at a marker', async () => {
  await waitText('#marker-timeline', "/^timeline \\d+$/.test(text)");
  const current = Number((await page.locator('#marker-timeline').textContent()).split(' ')[1]);
  assert.ok(DEMO_MARKERS[current], `the demo has no timeline ${current}`);
  assert.deepEqual(await shownMarkers(), DEMO_MARKERS[current]);

  await page.waitForSelector('#timeline-select option[value="17"]', { state: 'attached', timeout: WAIT_MS });
  await page.selectOption('#timeline-select', '17');
  await waitText('#marker-timeline', "text === 'timeline 17'");
  await page.waitForFunction(() => document.querySelectorAll('#marker-list .marker').length === 3, null, { timeout: WAIT_MS });
  assert.deepEqual(await shownMarkers(), DEMO_MARKERS[17]);

  // Camera index 3 from 13 s (angle 4), index 2 from 24 s. The clip at a marker is the
  // multicam clip on the interview's track, whatever camera it shows: 1920 × 1080 both times.
  await page.locator('.marker', { hasText: 'Question 2' }).click();
  await waitText('#marker-detail', "!text.endsWith('asking…')");
  assert.equal(await page.locator('#marker-detail').textContent(), 'Question 2: angle 4 · clip 1920 × 1080');
  await page.locator('.marker', { hasText: 'Réponse' }).click();
  await waitText('#marker-detail', "text.startsWith('Réponse:') && !text.endsWith('asking…')");
  assert.equal(await page.locator('#marker-detail').textContent(), 'Réponse: angle 3 · clip 1920 × 1080');

  // A marker event from the host has the list read anew.
  const listings = () => page.locator('#log li.sent').evaluateAll(
    (items) => items.filter((item) => item.textContent.includes('"method":"markers.list"')).length);
  const before = await listings();
  await sim.command('marker-changed 1');
  await waitText('#log', `text.includes('"topic":"marker"')`);
  const deadline = Date.now() + WAIT_MS;
  while (await listings() <= before) {
    assert.ok(Date.now() < deadline, 'the marker list was not read again after a marker event');
    await new Promise((done) => setTimeout(done, 100));
  }

  // Under timeline 3 the stage cameras show camera index 2 (angle 3) from 16 s to 21 s.
  await page.selectOption('#timeline-select', '3');
  await page.waitForFunction(() => document.querySelector('#marker-list .marker')?.textContent === 'Intro', null, { timeout: WAIT_MS });
  await page.locator('.marker', { hasText: 'Interview' }).click();
  await waitText('#marker-detail', "text.startsWith('Interview:') && !text.endsWith('asking…')");
  assert.match(await page.locator('#marker-detail').textContent(), /^Interview: angle 3 · clip \d+ × \d+$/);
});

test('an angle button switches the host\'s camera and shows the angle set', async () => {
  const pressed = () => page.locator('#angle-buttons button[aria-pressed=true]').allTextContents();
  assert.equal(await page.locator('#angle-buttons button').count(), 16);
  assert.deepEqual(await pressed(), []);
  await page.locator('#angle-buttons button[data-angle="3"]').click();
  await hostCommand('cmd.multicam.choosenocut.camera3');
  await waitText('#angle-now', "text === 'angle 3: the last one set from this page'");
  assert.deepEqual(await pressed(), ['3']);
  await page.locator('#angle-buttons button[data-angle="16"]').click();
  await hostCommand('cmd.multicam.choosenocut.camera16');
  await waitText('#angle-now', "text.startsWith('angle 16:')");
  assert.deepEqual(await pressed(), ['16']);
});

test('lights the camera on air from the playhead, and the tally follows the demo\'s cuts', async () => {
  const onAir = () => page.evaluate(() => {
    const lit = [...document.querySelectorAll('#angle-buttons button.on-air')].map((button) => Number(button.dataset.angle));
    return { lit, text: document.querySelector('#on-air').textContent };
  });
  await page.waitForSelector('#angle-buttons button.on-air', { timeout: WAIT_MS });
  await waitText('#playhead', "/^playhead \\d\\d:\\d\\d:\\d\\d:\\d\\d · timeline 3$/.test(text)");
  const first = await onAir();
  assert.equal(first.lit.length, 1);
  assert.equal(first.text, `camera ${first.lit[0]} on air`);
  // The demo's stage cameras cut every few seconds while it plays.
  await page.waitForFunction((was) => {
    const lit = document.querySelector('#angle-buttons button.on-air');
    return lit !== null && Number(lit.dataset.angle) !== was;
  }, first.lit[0], { timeout: WAIT_MS });
  const next = await onAir();
  assert.equal(next.lit.length, 1);
  assert.equal(next.text, `camera ${next.lit[0]} on air`);
});

test('a refused origin is told how to get admitted, and connects once the line is added', async () => {
  const refused = await browser.context.newPage();
  try {
    await refused.goto(consoleUrl('evil.test'));
    const origin = `http://evil.test:${server.port}`;
    await waitText('#hint', `text.includes('the engine is not running, or it refuses pages from ${origin}')`, refused);
    const hint = await refused.locator('#hint').textContent();
    assert.match(hint, /add the line http:\/\/evil\.test:\d+ to origins\.txt/);
    assert.match(await refused.locator('#status').textContent(), /^not connected · try \d+ in 3 s$/);
    assert.equal(await refused.locator('#command').isDisabled(), true);

    // The very line the hint asks for.
    sim.writeOrigins([origin]);
    await waitText('#status', connectedTo(ENGINE), refused);
    assert.equal(await refused.locator('#hint').isVisible(), false);
  } finally {
    sim.writeOrigins([]);
    await refused.close();
  }
});

test('shows the address it uses, goes back to the default, and keeps no address from the query', async () => {
  const elsewhere = await browser.context.newPage();
  try {
    await elsewhere.goto(consoleUrl('localhost', `?url=${NOWHERE}`));
    await waitText('#hint', `text.includes('No engine answered at ${NOWHERE}.')`, elsewhere);
    assert.equal(await elsewhere.locator('#address').textContent(),
      `engine address ${NOWHERE} (from this page’s address, not the default)`);
    await elsewhere.locator('#use-default').click();
    await waitText('#status', connectedTo(ENGINE), elsewhere);
    assert.equal(await elsewhere.evaluate(() => location.search), '');
    assert.equal(await elsewhere.locator('#use-default').isVisible(), false);

    await elsewhere.goto(consoleUrl('localhost', `?url=${NOWHERE}`));
    await waitText('#hint', `text.includes('No engine answered at ${NOWHERE}.')`, elsewhere);
    await elsewhere.goto(consoleUrl('localhost'));
    assert.equal(await elsewhere.locator('#url').inputValue(), ENGINE);
    await waitText('#status', connectedTo(ENGINE), elsewhere);
  } finally {
    await elsewhere.close();
  }
});

test('asks for the password when the engine has one, and refuses a wrong one', async () => {
  const folder = join(sim.settings, 'ZYL Engine');
  mkdirSync(folder, { recursive: true });
  writeFileSync(join(folder, 'settings.json'), JSON.stringify({ password: 'a long secret' }));
  const locked = await browser.context.newPage();
  try {
    await locked.goto(consoleUrl('localhost'));
    await waitText('#status', "text === 'password needed'", locked);
    assert.match(await locked.locator('#hint').textContent(), /^The engine asks for a password\./);
    const password = locked.locator('#password');
    assert.equal(await password.isVisible(), true);
    await password.fill('not the secret');
    await password.press('Enter');
    await waitText('#status', "text === 'password refused'", locked);
    assert.match(await locked.locator('#hint').textContent(), /refused the password/);
    await password.fill('a long secret');
    await password.press('Enter');
    await waitText('#status', connectedTo(ENGINE), locked);
    await waitText('#engine-version', "text === '1.2.4'", locked);
    await waitText('#marker-timeline', "/^timeline \\d+$/.test(text)", locked);
  } finally {
    rmSync(join(folder, 'settings.json'), { force: true });
    await locked.close();
  }
});

test('events reach the log and the peak meter moves while playing', async () => {
  await sim.command('play on');
  await waitText('#log', `text.includes('"op":"event","topic":"transport"')`);
  await page.locator('#show-vitals').check();
  await waitText('#log', `text.includes('"topic":"vitals"')`);
  await waitText('#peak', "text.endsWith('dB')");
  const width = await page.locator('#meter-fill').evaluate((element) => parseFloat(element.style.width));
  assert.ok(width > 0 && width <= 100, `meter width ${width}`);

  // What the screenshot shows: a marker of the interview and an angle chosen.
  await page.locator('#show-vitals').uncheck();
  await page.locator('#clear-log').click();
  await page.selectOption('#timeline-select', '17');
  await page.waitForFunction(() => document.querySelector('#marker-list .marker')?.textContent === 'Question 1', null, { timeout: WAIT_MS });
  await page.locator('.marker', { hasText: 'Question 2' }).click();
  await waitText('#marker-detail', "text.startsWith('Question 2: angle')");
  await page.locator('#angle-buttons button[data-angle="2"]').click();
  await waitText('#angle-now', "text.startsWith('angle 2:')");
  await type('sequence.get {"timeline":17}');
  await waitText('#log', `text.includes('"timelineID":17')`);
  // The tally lit, as a panel shows it.
  await page.waitForSelector('#angle-buttons button.on-air', { timeout: WAIT_MS });
  const folder = mkdtempSync(join(tmpdir(), 'zyl-console-'));
  const path = process.env.ZYL_CONSOLE_SCREENSHOT ?? join(folder, 'console.png');
  await page.screenshot({ path });
  assert.deepEqual([...readFileSync(path).subarray(1, 4)], [0x50, 0x4e, 0x47]);
  rmSync(folder, { recursive: true, force: true });
});
