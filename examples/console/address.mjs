// Which engine address the page uses: the one in the page's own address (`?url=`), else the
// default. The page stores no address anywhere else, so an address given once lasts only as
// long as the link that carries it, and the page always says which one it uses.
import { DEFAULT_URL } from '../../clients/js/index.mjs';
import { $, appendCode } from './dom.mjs';

export function addressFromPage() {
  return new URLSearchParams(location.search).get('url') || DEFAULT_URL;
}

// Puts the address in use into the page's address (none for the default), so that a reload
// or a bookmark asks the same engine, visibly.
export function putAddressInPage(url) {
  const params = new URLSearchParams(location.search);
  if (url === DEFAULT_URL) params.delete('url');
  else params.set('url', url);
  const query = params.toString();
  history.replaceState(null, '', `${location.pathname}${query ? `?${query}` : ''}${location.hash}`);
}

export function showAddress(url) {
  const line = $('address');
  line.replaceChildren('engine address ');
  appendCode(line, url);
  line.append(url === DEFAULT_URL ? ' (the default)' : ' (from this page’s address, not the default)');
  $('use-default').hidden = url === DEFAULT_URL;
}

// Why a typed address cannot be used, or null.
export function addressProblem(url) {
  let parsed = null;
  try {
    parsed = new URL(url);
  } catch {
    // reported below
  }
  if (parsed?.protocol === 'ws:' || parsed?.protocol === 'wss:') return null;
  return `"${url}" is not a ws:// address (the engine's is ${DEFAULT_URL})`;
}
