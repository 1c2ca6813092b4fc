// The request line: a method name, then its params as one JSON object
// (`markers.list {"timeline":3}`), with history and completion from the engine's own
// description of its methods. Responses reach the log as they come off the wire.
import { ZylRequestError, parseJson } from '../../clients/js/index.mjs';
import { $ } from './dom.mjs';
import { log } from './log.mjs';

const HISTORY_KEY = 'zyl.console.requests';
const HISTORY_LIMIT = 100;

let methods = [];
let currentClient = () => null;
const history = loadHistory();
let historyIndex = history.length;
let draft = '';

function loadHistory() {
  try {
    const stored = JSON.parse(localStorage.getItem(HISTORY_KEY));
    return Array.isArray(stored) ? stored : [];
  } catch {
    return [];
  }
}

function remember(text) {
  if (history.at(-1) !== text) history.push(text);
  history.splice(0, Math.max(0, history.length - HISTORY_LIMIT));
  localStorage.setItem(HISTORY_KEY, JSON.stringify(history));
  historyIndex = history.length;
}

// Splits a line into its method and params; throws with a message the user can act on.
export function readRequest(text) {
  const line = text.trim();
  const space = line.search(/\s/);
  const method = space < 0 ? line : line.slice(0, space);
  const rest = space < 0 ? '' : line.slice(space).trim();
  if (rest === '') return { method, params: undefined };
  let params;
  try {
    params = parseJson(rest);
  } catch (error) {
    throw new Error(`params are not JSON: ${error.message}`);
  }
  if (params === null || typeof params !== 'object' || Array.isArray(params)) {
    throw new Error('params are one JSON object, e.g. {"timeline":3}');
  }
  return { method, params };
}

async function run(text) {
  remember(text);
  const client = currentClient();
  try {
    const { method, params } = readRequest(text);
    await client.request(method, params);
  } catch (error) {
    // The engine's error responses are in the log already, as they came.
    if (!(error instanceof ZylRequestError)) log('error', `! ${error.message}`);
  }
}

// Methods as the engine describes them: [{ name, params: [{ name, type, required }] }].
export function setMethods(described) {
  methods = Array.isArray(described) ? described.filter((method) => typeof method?.name === 'string') : [];
}

function syntaxOf(method) {
  const params = Array.isArray(method.params) ? method.params : [];
  if (params.length === 0) return method.name;
  const members = params.map((param) => `"${param.name}"${param.required ? '' : '?'}: ${param.type}`);
  return `${method.name} {${members.join(', ')}}`;
}

function candidates(text) {
  if (/\s/.test(text)) return [];
  return methods.filter((method) => method.name.startsWith(text));
}

// While a name is typed, the methods it may become; once its params are typed, its syntax.
function showCompletions() {
  const text = $('command').value;
  const box = $('completions');
  box.replaceChildren();
  const typedName = text.match(/^(\S+)\s/)?.[1];
  const found = typedName !== undefined
    ? methods.filter((method) => method.name === typedName)
    : text ? candidates(text) : [];
  if (found.length === 1) {
    box.textContent = syntaxOf(found[0]);
    return;
  }
  for (const method of found) {
    const item = document.createElement('b');
    item.textContent = method.name;
    box.append(item);
  }
}

// A method that takes params is completed with the space before them.
function complete() {
  const input = $('command');
  const found = candidates(input.value);
  if (found.length === 0) return;
  if (found.length === 1) {
    const [method] = found;
    input.value = method.params?.length ? `${method.name} ` : method.name;
  } else {
    let common = found[0].name;
    for (const { name } of found) while (!name.startsWith(common)) common = common.slice(0, -1);
    input.value = common;
  }
  showCompletions();
}

export function enableTerminal(open) {
  $('command').disabled = !open;
  $('send').disabled = !open;
}

export function setupTerminal(current) {
  currentClient = current;
  const input = $('command');
  input.addEventListener('keydown', (event) => {
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
  input.addEventListener('input', showCompletions);
  $('command-form').addEventListener('submit', (event) => {
    event.preventDefault();
    const text = input.value.trim();
    if (!text || !currentClient()) return;
    input.value = '';
    showCompletions();
    run(text);
  });
}
