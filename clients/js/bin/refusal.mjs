// Why the engine refused the command line. Node's WebSocket, like a browser's, never shows a
// refused handshake's status or body, so after a refusal the command line asks the engine's
// port for its status page with a plain HTTP request and reads the reason there.
import http from 'node:http';
import https from 'node:https';

const PAGE_LIMIT = 256 * 1024;

export function statusPageUrl(wsUrl) {
  const url = new URL(wsUrl);
  url.protocol = url.protocol === 'wss:' ? 'https:' : 'http:';
  url.pathname = '/';
  url.search = '';
  url.hash = '';
  return url.href;
}

// The page's text, or { failure } with the system's error code when nothing could be asked;
// null when something answered without a page.
function fetchPage(url, timeoutMs) {
  return new Promise((resolve) => {
    const get = url.startsWith('https:') ? https.get : http.get;
    // As a browser's address bar asks: the engine serves its page only to a request for HTML.
    const request = get(url, { timeout: timeoutMs, headers: { accept: 'text/html' } }, (response) => {
      if (response.statusCode !== 200) {
        response.resume();
        resolve(null);
        return;
      }
      let text = '';
      response.setEncoding('utf8');
      response.on('data', (chunk) => {
        text += chunk;
        if (text.length > PAGE_LIMIT) request.destroy();
      });
      response.on('end', () => resolve(text));
      response.on('error', () => resolve(null));
    });
    request.on('timeout', () => request.destroy());
    request.on('error', (error) => resolve({ failure: error.code ?? error.message }));
  });
}

const ENTITIES = { amp: '&', lt: '<', gt: '>', quot: '"', '#39': "'" };

// The text of the page's cell `id` (its markup dropped), or undefined.
export function pageValue(html, id) {
  const cell = new RegExp(`<td id=${id}>([\\s\\S]*?)</td>`).exec(html);
  if (!cell) return undefined;
  return cell[1].replace(/<[^>]*>/g, '').replace(/&(amp|lt|gt|quot|#39);/g, (_, name) => ENTITIES[name]);
}

// One sentence saying why `wsUrl` refused a client of `protocol` and what to do; undefined
// when the engine's page does not say.
export async function refusalReason(wsUrl, protocol, timeoutMs) {
  const page = statusPageUrl(wsUrl);
  const html = await fetchPage(page, Math.min(timeoutMs, 10000));
  if (html?.failure === 'ECONNREFUSED') {
    return 'nothing listens there: is the editor running with ZYL Engine loaded?';
  }
  if (typeof html !== 'string') return undefined;
  if (/<td id=settings-file><span class=fault>/.test(html)) {
    return `the engine refuses every connection while its settings file is broken: ${pageValue(html, 'settings-file')}; mend or remove the file (no restart needed)`;
  }
  if (protocol === 1 && pageValue(html, 'text-protocol')?.startsWith('off')) {
    return 'the engine has the text protocol off because settings.json sets a password: use "zyl.mjs call METHOD" with --password instead (e.g. zyl.mjs --password ... call version)';
  }
  return `the engine's status page ${page} shows its state`;
}
