// Which addresses are this computer's, and what a failed connect says about another's.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { ZylClient, isLocalUrl } from '../index.mjs';

test('only localhost, 127.x and [::1] are this computer', () => {
  for (const url of ['ws://127.0.0.1:7890', 'ws://LOCALHOST:7890', 'ws://[::1]:7890', 'ws://127.3.4.5/']) {
    assert.ok(isLocalUrl(url), url);
  }
  for (const url of ['ws://10.0.0.2:7890', 'ws://127.0.0.1.evil.test/', 'ws://panel.local/', 'ws://128.0.0.1/', 'not a url']) {
    assert.ok(!isLocalUrl(url), url);
  }
});

test('a failed connect to another computer says what that engine admits', () => {
  const remote = new ZylClient({ url: 'ws://10.78.0.1:7890', protocol: 2 }).refusal(1006, '');
  assert.match(remote.message, /settings\.json sets "listen" and a password/);
  assert.match(remote.message, /text protocol is refused with 403/);
  const local = new ZylClient({ url: 'ws://127.0.0.1:7890', protocol: 2 }).refusal(1006, '');
  assert.equal(local.message, 'cannot connect to ws://127.0.0.1:7890 (no engine there, or one without protocol 2)');
});
