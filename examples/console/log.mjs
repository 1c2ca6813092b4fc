// The log of everything on the wire: what the page sent, the engine's responses and events,
// and notes of the page's own.
import { parseJson } from '../../clients/js/index.mjs';
import { $ } from './dom.mjs';

const LOG_LIMIT = 600;

export function log(kind, text) {
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

// What kind of entry a received message makes; the text is logged as it came.
function kindOf(text) {
  let message;
  try {
    message = parseJson(text);
  } catch {
    return 'error';
  }
  if (message?.op === 'event') return message.topic === 'vitals' ? 'vitals' : 'event';
  if (message?.ok === false) return 'error';
  return 'reply';
}

export function logReceived(text) {
  const kind = kindOf(text);
  if (kind === 'vitals' && !$('show-vitals').checked) return;
  log(kind, kind === 'vitals' || kind === 'event' ? `• ${text}` : `← ${text}`);
}

export function logSent(text) {
  log('sent', `→ ${text}`);
}

$('clear-log').addEventListener('click', () => $('log').replaceChildren());
