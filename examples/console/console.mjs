// The developer console: one structured-protocol connection feeding a live dashboard, the
// current timeline's markers, multicam angle buttons and a request line with a log of
// everything on the wire.
import {
  DEFAULT_URL, ZylAuthenticationError, ZylClient, ZylConnectionError, ZylTimeoutError, isLocalUrl,
} from '../../clients/js/index.mjs';
import { addressFromPage, addressProblem, putAddressInPage, showAddress } from './address.mjs';
import { enableAngles, setupAngles } from './angles.mjs';
import { clearVitals, showVitals } from './dashboard.mjs';
import { $, setText } from './dom.mjs';
import { log, logReceived, logSent } from './log.mjs';
import { loadTimelines, refreshMarkers, setupMarkers } from './markers.mjs';
import { askPassword, hideNotice, showMessage, showUnreachable } from './notice.mjs';
import { clearPlayhead, showPlayhead } from './tally.mjs';
import { enableTerminal, setMethods, setupTerminal } from './terminal.mjs';

const TOPICS = ['transport', 'marker', 'vitals', 'playhead', 'sequence'];
const RETRY_MS = 3000;
const TIMEOUT_MS = 10000;
// Close codes from 4000 up are the engine's own: it was reached, and said why it closed.
const ENGINE_CLOSE_CODES = 4000;

let client = null;
let clientUrl = null; // the address `client` (or the retry to come) uses
let retryTimer = null;
let retries = 0;
const connectedClient = () => (client?.connected ? client : null);

function setStatus(state, text) {
  const status = $('status');
  status.dataset.state = state;
  status.textContent = text;
  const open = state === 'open';
  enableTerminal(open);
  enableAngles(open);
  if (!open) clearVitals();
  const labels = { idle: 'Connect', closed: 'Connect', retrying: 'Stop' };
  $('connect').textContent = labels[state] ?? 'Disconnect';
}

async function describeEngine(connected) {
  try {
    const [{ version }, description] = await Promise.all([
      connected.request('version'),
      connected.request('protocol.describe'),
    ]);
    setText('engine-version', version);
    setMethods(description.methods);
    $('command').focus();
  } catch (error) {
    log('error', `! ${error.message}`);
  }
  await Promise.all([loadTimelines(), refreshMarkers(), showPlayheadNow(connected)]);
}

// The playhead topic pushes only changes: the state at connecting is asked for.
async function showPlayheadNow(connected) {
  try {
    showPlayhead(await connected.request('playhead.get'));
  } catch (error) {
    log('error', `! ${error.message}`);
  }
}

function failed(url, password, error) {
  client = null;
  if (error instanceof ZylAuthenticationError) {
    if (password) {
      const remote = isLocalUrl(url)
        ? ''
        : ' From another computer, wrong passwords make this address wait longer and longer (up to 60 s) before the next is judged.';
      showMessage(`Not connected: ${error.message}. Check the password (leave it empty when the engine has none).${remote}`);
      $('password').hidden = false;
    } else {
      askPassword('The engine asks for a password.');
    }
    setStatus('closed', password ? 'password refused' : 'password needed');
    return;
  }
  const unreachable = error instanceof ZylConnectionError && !(error.closeCode >= ENGINE_CLOSE_CODES);
  if (!unreachable && !(error instanceof ZylTimeoutError)) {
    showMessage(`Not connected: ${error.message}.`);
    setStatus('closed', 'refused');
    return;
  }
  if (unreachable) showUnreachable(url, RETRY_MS);
  else showMessage(`Not connected: ${error.message}. Something accepted the connection but opened no session in time; trying again every ${RETRY_MS / 1000} s.`);
  retries += 1;
  setStatus('retrying', `not connected · try ${retries + 1} in ${RETRY_MS / 1000} s`);
  retryTimer = setTimeout(() => {
    retryTimer = null;
    connect();
  }, RETRY_MS);
}

function connect() {
  const url = $('url').value.trim();
  putAddressInPage(url);
  showAddress(url);
  const problem = addressProblem(url);
  if (problem) {
    showMessage(problem);
    setStatus('closed', 'not connected');
    return;
  }
  const password = $('password').value || undefined;
  clientUrl = url;
  const attempt = new ZylClient({ url, protocol: 2, password, subscriptions: TOPICS, timeoutMs: TIMEOUT_MS });
  client = attempt;
  attempt.on('frame', logReceived);
  attempt.on('sent', logSent);
  attempt.on('vitals', (vitals) => {
    showVitals(vitals);
    if (vitals.seqChanged) refreshMarkers();
  });
  attempt.on('marker', () => refreshMarkers());
  attempt.on('playhead', showPlayhead);
  // The timeline the engine means changed, or its settings (the markers' timecodes).
  attempt.on('sequence', () => refreshMarkers());
  attempt.on('unexpected', (text) => log('error', `! unexpected message ${text}`));
  attempt.on('error', (error) => log('error', `! ${error.message}`));
  // Also after the client has reopened a lost connection by itself.
  attempt.on('open', () => {
    retries = 0;
    hideNotice();
    setStatus('open', `connected to ${url}`);
    describeEngine(attempt);
  });
  attempt.on('close', ({ code, wasOpen }) => {
    clearPlayhead();
    if (!wasOpen) return;
    log('note', `connection closed (${code})`);
    setStatus('closed', 'disconnected');
  });
  attempt.on('reconnecting', ({ attempt: number, delayMs }) =>
    setStatus('reconnecting', `connection lost · retry ${number} in ${(delayMs / 1000).toFixed(1)} s`));
  setStatus('connecting', `connecting to ${url}`);
  attempt.connect().catch((error) => {
    if (client === attempt) failed(url, password, error);
  });
}

async function disconnect() {
  clearTimeout(retryTimer);
  retryTimer = null;
  retries = 0;
  const closing = client;
  client = null;
  setStatus('idle', 'not connected');
  await closing?.close();
}

// Enter in the address field submits too: a new address there moves the page to it at once,
// while the same address (or the button) ends the connection.
$('connect-form').addEventListener('submit', async (event) => {
  event.preventDefault();
  if (!client && !retryTimer) {
    connect();
    return;
  }
  const moving = $('url').value.trim() !== clientUrl;
  await disconnect();
  if (moving) connect();
});

$('use-default').addEventListener('click', async () => {
  await disconnect();
  $('url').value = DEFAULT_URL;
  connect();
});

setupTerminal(connectedClient);
setupMarkers(connectedClient);
setupAngles(connectedClient);
$('url').value = addressFromPage();
showAddress($('url').value);
setStatus('idle', 'not connected');
if (new URLSearchParams(location.search).get('connect') !== 'no') connect();
