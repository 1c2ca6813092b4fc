// What the page tells the user when it cannot connect: the engine is not there or refuses this
// page's origin (a browser reports both the same way, so the page cannot tell which), or the
// engine wants a password.
import { BEYOND_THIS_COMPUTER, isLocalUrl } from '../../clients/js/index.mjs';
import { $, appendCode } from './dom.mjs';

// The engine's status page behind a ws:// address: a person can open it, a page cannot read it.
function statusPage(url) {
  const page = new URL(url);
  page.protocol = page.protocol === 'wss:' ? 'https:' : 'http:';
  return `${page.origin}/`;
}

export function hideNotice() {
  $('hint').hidden = true;
  $('hint').replaceChildren();
}

function paragraph(...pieces) {
  const element = document.createElement('p');
  for (const piece of pieces) {
    if (typeof piece === 'string') {
      element.append(piece);
    } else if (piece.link) {
      const link = document.createElement('a');
      link.href = piece.link;
      link.target = '_blank';
      link.rel = 'noopener noreferrer';
      link.textContent = piece.link;
      element.append(link);
    } else {
      appendCode(element, piece.code);
    }
  }
  return element;
}

function show(...paragraphs) {
  const hint = $('hint');
  hint.replaceChildren(...paragraphs);
  hint.hidden = false;
}

export function showMessage(text) {
  show(paragraph(text));
}

export function showUnreachable(url, retryMs) {
  const origin = location.origin;
  const remote = isLocalUrl(url)
    ? []
    : [paragraph({ code: url }, ' is not this computer: ', `${BEYOND_THIS_COMPUTER}.`)];
  show(
    ...remote,
    paragraph(
      'No engine answered at ', { code: url }, '. Either the engine is not running, or it refuses pages from ',
      { code: origin }, ': a page is not told which of the two it is. The page tries again every ',
      `${retryMs / 1000} s.`,
    ),
    paragraph(
      'If the editor with the engine is running, admit this page: add the line ', { code: origin },
      ' to ', { code: 'origins.txt' }, ' in the engine’s settings folder, ', { code: '%APPDATA%\\ZYL Engine\\origins.txt' },
      ' on Windows, elsewhere ', { code: 'ZYL Engine/origins.txt' }, ' under ', { code: '$APPDATA' }, ', ',
      { code: '$XDG_CONFIG_HOME' }, ' or ', { code: '~/.config' },
      '. The engine reads the file at every connection, so the next try is admitted.',
    ),
    paragraph(
      'Was it refused? The engine’s status page ', { link: statusPage(url) },
      ' (open it in a tab of its own) says whether it runs, which connections it admits now and what is wrong with its settings files.',
    ),
  );
}

export function askPassword(text) {
  const field = $('password');
  field.hidden = false;
  field.value = '';
  field.focus();
  show(paragraph(text, ' Type it in the password field and connect.'));
}
