// The developer console: a command line with history and completion, a log of everything on
// the wire, and a dashboard fed by the pushed vitals records.
import { DEFAULT_URL, ZylClient, ZylReplyError, classifyCommand } from '../../clients/js/index.mjs';

const $ = (id) => document.getElementById(id);
const HISTORY_KEY = 'zyl.console.history';
const URL_KEY = 'zyl.console.url';
const LOG_LIMIT = 600;

// Argument shapes shown while completing; the engine's own list gives the names.
const SYNTAX = {
  'get.sequence': 'get.sequence[:TIMELINE]',
  'get.angle': 'get.angle:TICKS[:TRACK]',
  'get.angle.marker': 'get.angle.marker:NAME[:TRACK]',
  'get.clipsize': 'get.clipsize:TICKS[:END]:TRACK',
  'get.clipsize.marker': 'get.clipsize.marker:NAME[:TRACK]',
  'get.transitions': 'get.transitions:START:END:TRACK',
  exec: 'exec:[CATEGORY]:COMMAND',
  'multicam.angle': 'multicam.angle:1..16',
  'dump.angle': 'dump.angle:TICKS[:TRACK]',
  'debug.tlscan': 'debug.tlscan:FROM[:TO[:BUDGET_MS]]',
};

let client = null;
let commandNames = [];
const history = loadHistory();
let historyIndex = history.length;
let draft = '';

// ---- log ----

function log(kind, text) {
  const list = $('log');
  const item = document.createElement('li');
  item.className = kind;
  const time = document.createElement('span');
  time.className = 'time';
  time.textContent = new Date().toLocaleTimeString();
  item.append(time, text);
  const atBottom = list.scrollTop + list.clientHeight >= list.scrollHeight - 4;
  list.append(item);
  while (list.children.length > LOG_LIMIT) list.firstChild.remove();
  if (atBottom) list.scrollTop = list.scrollHeight;
}

function logFrame(text) {
  if (text.startsWith('vitals:')) {
    if ($('show-vitals').checked) log('vitals', `• ${text}`);
  } else if (text.startsWith('event:')) {
    log('event', `• ${text}`);
  } else {
    const colon = text.indexOf(':');
    const isError = colon > 0 && text.slice(0, colon).endsWith('.error');
    log(isError ? 'error' : 'reply', `← ${text}`);
  }
}

// ---- dashboard ----

function setText(id, value) {
  $(id).textContent = value;
}

function flash(element) {
  element.classList.remove('flash');
  void element.offsetWidth; // restart the animation
  element.classList.add('flash');
}

function showVitals(vitals) {
  for (const lamp of document.querySelectorAll('.lamp')) {
    lamp.classList.toggle('on', vitals[lamp.dataset.field] === true);
  }
  setText('timecode', vitals.timecode || '--:--:--:--');
  setText('display-mode', String(vitals.displayMode));
  setText('speed', Number.isFinite(vitals.speed) ? `${vitals.speed.toFixed(2)}×` : '–');
  setText('idle', `${vitals.idleSec} s`);
  setText('cuts', vitals.cuts < 0 ? 'n/a' : String(vitals.cuts));
  setText('markers', vitals.markers < 0 ? 'n/a' : String(vitals.markers));
  setText('tracks', vitals.tracks < 0 ? 'n/a' : String(vitals.tracks));
  for (const flag of document.querySelectorAll('.flag')) {
    if (vitals[flag.dataset.flag]) flash(flag);
  }
  // -999 is the engine's "no level": stopped, or no meter to read.
  const peak = vitals.audioPeakDb;
  const level = peak <= -999 || !Number.isFinite(peak) ? 0 : Math.min(1, Math.max(0, (peak + 60) / 60));
  const meter = $('meter');
  meter.style.setProperty('--meter-width', `${meter.clientWidth}px`);
  meter.setAttribute('aria-valuenow', String(peak));
  $('meter-fill').style.width = `${(level * 100).toFixed(1)}%`;
  setText('peak', peak <= -999 ? 'no level' : `${peak.toFixed(1)} dB`);
  lastRecord = Date.now();
  updateRecordAge();
}

let lastRecord = 0;
function updateRecordAge() {
  if (!lastRecord) return;
  const seconds = Math.round((Date.now() - lastRecord) / 1000);
  setText('record-age', seconds < 2 ? 'live' : `last record ${seconds} s ago`);
}
setInterval(updateRecordAge, 1000);

// ---- connection ----

function setStatus(state, text) {
  const status = $('status');
  status.dataset.state = state;
  status.textContent = text;
  const open = state === 'open';
  $('command').disabled = !open;
  $('send').disabled = !open;
  $('connect').textContent = state === 'idle' || state === 'closed-by-user' ? 'Connect' : 'Disconnect';
}

async function describeEngine() {
  try {
    const [{ version }, { info }] = await Promise.all([client.getVersion(), client.getInfo()]);
    setText('engine-version', version);
    commandNames = info.commands;
    // After a reconnect the client renews the subscription itself.
    if (!client.subscribed) await client.subscribeVitals();
    $('command').focus();
  } catch (error) {
    log('error', `! ${error.message}`);
  }
}

function connect(url) {
  localStorage.setItem(URL_KEY, url);
  client = new ZylClient({ url });
  client.on('frame', logFrame);
  client.on('sent', (text) => log('sent', `→ ${text}`));
  client.on('vitals', showVitals);
  client.on('unexpected', (text) => log('error', `! unexpected frame ${text}`));
  client.on('error', (error) => log('error', `! ${error.message}`));
  client.on('open', () => {
    setStatus('open', `connected to ${url}`);
    describeEngine();
  });
  client.on('close', ({ code, wasOpen }) => {
    if (wasOpen) log('note', `connection closed (${code})`);
    setStatus('closed', 'disconnected');
  });
  client.on('reconnecting', ({ attempt, delayMs }) =>
    setStatus('reconnecting', `retry ${attempt} in ${(delayMs / 1000).toFixed(1)} s`));
  setStatus('connecting', `connecting to ${url}`);
  client.connect().catch(() => {});
}

async function disconnect() {
  const closing = client;
  client = null;
  await closing.close();
  setStatus('closed-by-user', 'not connected');
}

$('connect-form').addEventListener('submit', (event) => {
  event.preventDefault();
  if (client) disconnect();
  else connect($('url').value.trim());
});

// ---- command line ----

function loadHistory() {
  try {
    return JSON.parse(localStorage.getItem(HISTORY_KEY)) ?? [];
  } catch {
    return [];
  }
}

function remember(text) {
  if (history.at(-1) !== text) history.push(text);
  history.splice(0, Math.max(0, history.length - 100));
  localStorage.setItem(HISTORY_KEY, JSON.stringify(history));
  historyIndex = history.length;
}

async function run(text) {
  remember(text);
  try {
    const reply = await client.send(text);
    if (reply.kind === 'none') {
      const note = reply.command === 'host'
        ? 'no reply: not an engine command, so the engine handed it to the host as a command name'
        : 'no reply: subscribed';
      log('note', note);
    }
  } catch (error) {
    // Error replies are already in the log as frames.
    if (!(error instanceof ZylReplyError)) log('error', `! ${error.message}`);
  }
}

// A name that the engine only knows as a prefix is completed with its colon.
function completionOf(name) {
  return classifyCommand(name).reply === 'none' ? `${name}:` : name;
}

function candidates(text) {
  if (text.includes(':')) return [];
  return commandNames.filter((name) => name.startsWith(text));
}

function showCompletions() {
  const text = $('command').value;
  const names = text ? candidates(text) : [];
  const box = $('completions');
  box.replaceChildren();
  if (names.length === 1 && SYNTAX[names[0]]) {
    box.textContent = SYNTAX[names[0]];
    return;
  }
  for (const name of names) {
    const item = document.createElement('b');
    item.textContent = name;
    box.append(item);
  }
}

function complete() {
  const input = $('command');
  const names = candidates(input.value);
  if (names.length === 0) return;
  if (names.length === 1) {
    input.value = completionOf(names[0]);
  } else {
    let common = names[0];
    for (const name of names) while (!name.startsWith(common)) common = common.slice(0, -1);
    input.value = common;
  }
  showCompletions();
}

$('command').addEventListener('keydown', (event) => {
  const input = event.currentTarget;
  if (event.key === 'Tab') {
    event.preventDefault();
    complete();
  } else if (event.key === 'ArrowUp') {
    event.preventDefault();
    if (historyIndex === history.length) draft = input.value;
    if (historyIndex > 0) input.value = history[--historyIndex];
  } else if (event.key === 'ArrowDown') {
    event.preventDefault();
    if (historyIndex < history.length) {
      historyIndex += 1;
      input.value = historyIndex === history.length ? draft : history[historyIndex];
    }
  }
});
$('command').addEventListener('input', showCompletions);

$('command-form').addEventListener('submit', (event) => {
  event.preventDefault();
  const input = $('command');
  const text = input.value;
  if (!text || !client) return;
  input.value = '';
  showCompletions();
  run(text);
});

$('clear-log').addEventListener('click', () => $('log').replaceChildren());

// ---- start ----

const params = new URLSearchParams(location.search);
$('url').value = params.get('url') ?? localStorage.getItem(URL_KEY) ?? DEFAULT_URL;
setStatus('idle', 'not connected');
if (params.get('connect') !== 'no') connect($('url').value);
