// The client's structured protocol against a scripted server: the opening with and
// without a password, requests by id, batches, events, 64-bit ticks, and each way the
// opening can fail.
import { test, describe, afterEach } from 'node:test';
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { createServer } from 'node:net';
import { fileURLToPath } from 'node:url';
import {
  ZylAuthenticationError, ZylClient, ZylConnectionError, ZylProtocolError, ZylRequestError, ZylTimeoutError,
} from '../index.mjs';
import { FakeEngine, sha256Base64 } from './fake-engine.mjs';

const INDEX = fileURLToPath(new URL('../index.mjs', import.meta.url));

let engine;
let client;
afterEach(async () => {
  await client?.close();
  client = undefined;
  await engine?.stop();
  engine = undefined;
});

async function connectTo(script, options = {}) {
  engine = await FakeEngine.start(script);
  client = new ZylClient({ url: engine.url, protocol: 2, timeoutMs: 2000, ...options });
  await client.connect();
  return client;
}

function settlement(promise) {
  return promise.then((value) => ({ value }), (error) => ({ error }));
}

describe('requests, batches and events', () => {
  test('responses find their requests by id, in whatever order they come', async () => {
    let identify;
    let offered;
    const sent = [];
    await connectTo(async (peer) => {
      offered = peer.offered;
      identify = await peer.opening();
      const first = await peer.next();
      const second = await peer.next();
      const third = await peer.next();
      sent.push(first, second, third);
      peer.send({ op: 'response', id: third.id, ok: false,
        error: { code: 'host_error', message: 'the host refused', status: 7 } });
      peer.send({ op: 'response', id: second.id, ok: true, result: { angle: 2 } });
      peer.send({ op: 'response', id: first.id, ok: false,
        error: { code: 'invalid_params', message: 'track is out of range', param: 'track' } });
    }, { subscriptions: ['vitals'] });
    assert.deepEqual(offered, ['zyl.v2']);
    assert.deepEqual(identify, { op: 'identify', protocol: 2, subscriptions: ['vitals'] });
    const results = await Promise.all([
      settlement(client.request('angle.get', { ticks: 0, track: 99999999999 })),
      settlement(client.request('multicam.setAngle', { angle: 2 })),
      settlement(client.request('sequence.get')),
    ]);
    assert.deepEqual(sent.map(({ op, method, params }) => ({ op, method, params })), [
      { op: 'request', method: 'angle.get', params: { ticks: 0, track: 99999999999 } },
      { op: 'request', method: 'multicam.setAngle', params: { angle: 2 } },
      { op: 'request', method: 'sequence.get', params: undefined },
    ]);
    assert.equal(new Set(sent.map(({ id }) => id)).size, 3);
    const invalid = results[0].error;
    assert.ok(invalid instanceof ZylRequestError);
    assert.deepEqual([invalid.code, invalid.message, invalid.param, invalid.method],
      ['invalid_params', 'track is out of range', 'track', 'angle.get']);
    assert.deepEqual(results[1].value, { angle: 2 });
    assert.deepEqual([results[2].error.code, results[2].error.status], ['host_error', 7]);
  });

  test('a batch sends its items in one message and reads one entry per item', async () => {
    let received;
    await connectTo(async (peer) => {
      await peer.opening();
      received = await peer.next();
      peer.send({ op: 'batchResponse', id: received.id, ok: true, results: [
        { ok: true, result: { version: '1.2.4' } },
        { ok: false, error: { code: 'unknown_method', message: 'no such method' } },
      ] });
      const tooMany = await peer.next();
      peer.send({ op: 'batchResponse', id: tooMany.id, ok: false,
        error: { code: 'too_many', message: 'a batch holds at most 64 requests' } });
    });
    const entries = await client.batch([{ method: 'version' }, { method: 'nope', params: { a: 1 } }],
      { haltOnFailure: true });
    assert.deepEqual(received.requests, [{ method: 'version' }, { method: 'nope', params: { a: 1 } }]);
    assert.equal(received.haltOnFailure, true);
    assert.deepEqual(entries[0], { ok: true, result: { version: '1.2.4' } });
    assert.equal(entries[1].ok, false);
    assert.deepEqual([entries[1].error.code, entries[1].error.method], ['unknown_method', 'nope']);
    const items = Array.from({ length: 65 }, () => ({ method: 'version' }));
    await assert.rejects(client.batch(items), (error) => error instanceof ZylRequestError && error.code === 'too_many');
  });

  test('events reach the listeners of their topic once subscribed', async () => {
    let subscribe;
    await connectTo(async (peer) => {
      await peer.opening();
      subscribe = await peer.next();
      peer.send({ op: 'response', id: subscribe.id, ok: true, result: { subscriptions: ['transport', 'marker'] } });
      peer.send({ op: 'event', topic: 'marker', data: { type: 'rebuild', count: 2 } });
      peer.send({ op: 'event', topic: 'error', data: {} });
      peer.send({ op: 'event', topic: 'transport', data: { type: 'play', on: true } });
    }, { subscriptions: ['transport'] });
    const seen = [];
    const errors = [];
    client.on('error', (error) => errors.push(error));
    const transport = new Promise((resolve) => client.on('transport', resolve));
    client.on('marker', (data) => seen.push(data));
    assert.deepEqual(await client.subscribe(['marker']), ['transport', 'marker']);
    assert.deepEqual(subscribe.topics, ['marker']);
    assert.deepEqual(await transport, { type: 'play', on: true });
    assert.deepEqual(seen, [{ type: 'rebuild', count: 2 }]);
    // A server cannot raise the client's own events by naming them as a topic.
    assert.deepEqual(errors, []);
  });

  test('ticks beyond 2^53-1 travel as exact integers both ways', async () => {
    let requestText;
    await connectTo(async (peer) => {
      await peer.opening();
      requestText = await peer.nextText();
      const { id } = JSON.parse(requestText);
      peer.send(`{"op":"response","id":${id},"ok":true,"result":{"timelineID":3,` +
        '"marker":{"ticks":9007199254740993,"name":"at 12345678901234567890"},' +
        '"ticksList":[-9223372036854775808,9007199254740991],"fps":29.970}}');
    });
    const result = await client.request('angle.atMarker', { ticks: 2n ** 60n + 1n, track: -1 });
    assert.match(requestText, /"params":\{"ticks":1152921504606846977,"track":-1\}/);
    assert.deepEqual(result, {
      timelineID: 3,
      marker: { ticks: 9007199254740993n, name: 'at 12345678901234567890' },
      ticksList: [-9223372036854775808n, 9007199254740991],
      fps: 29.97,
    });
  });

  test('a request without a response times out, and its late response is not taken for another', async () => {
    const unexpected = [];
    await connectTo(async (peer) => {
      await peer.opening();
      const slow = await peer.next();
      const next = await peer.next();
      peer.send({ op: 'response', id: slow.id, ok: true, result: { late: true } });
      peer.send({ op: 'response', id: next.id, ok: true, result: { version: '1.2.4' } });
    }, { timeoutMs: 100 });
    client.on('unexpected', (text) => unexpected.push(JSON.parse(text).result));
    await assert.rejects(client.request('debug.timelineScan'), ZylTimeoutError);
    assert.deepEqual(await client.request('version'), { version: '1.2.4' });
    assert.deepEqual(unexpected, [{ late: true }]);
  });

  test('a lost connection fails what waits, and the reconnect renews the topics held', async () => {
    const identifies = [];
    engine = await FakeEngine.start(async (peer) => {
      identifies.push(await peer.opening());
      if (identifies.length > 1) return;
      const subscribe = await peer.next();
      peer.send({ op: 'response', id: subscribe.id, ok: true, result: { subscriptions: ['marker', 'vitals'] } });
      await peer.next();
      peer.close(1001, 'going away');
    });
    client = new ZylClient({ url: engine.url, protocol: 2, backoff: { initialMs: 10, jitter: 0 } });
    await client.connect();
    await client.subscribe(['marker']);
    const reopened = new Promise((resolve) => client.on('open', resolve));
    await assert.rejects(client.request('version'), ZylConnectionError);
    await reopened;
    assert.deepEqual(identifies.map((identify) => identify.subscriptions), [[], ['marker', 'vitals']]);
  });

  test('protocol 1 and protocol 2 calls refuse the other protocol\'s client', async () => {
    await connectTo((peer) => peer.opening());
    await assert.rejects(client.getVersion(), TypeError);
    await assert.rejects(client.request(''), TypeError);
    await assert.rejects(client.request('version', [1]), TypeError);
    await assert.rejects(client.request('version', null), TypeError);
    const textClient = new ZylClient({ url: engine.url, WebSocket: class {} });
    await assert.rejects(textClient.request('version'), TypeError);
    assert.throws(() => new ZylClient({ protocol: 1, password: 'x' }), TypeError);
    assert.throws(() => new ZylClient({ protocol: 2, password: '' }), TypeError);
  });
});

describe('the password', () => {
  test('the right password opens, with the engine\'s proof checked', async () => {
    let identify;
    await connectTo(async (peer) => {
      identify = await peer.opening({ password: 'correct horse ✓' });
    }, { password: 'correct horse ✓' });
    assert.equal(typeof identify.authentication, 'string');
    assert.equal(client.connected, true);
  });

  test('each way the opening can fail rejects the connect', async (t) => {
    const challenge = Buffer.alloc(32, 1).toString('base64');
    const salt = Buffer.alloc(32, 2).toString('base64');
    const askedHello = { op: 'hello', protocol: 2, authentication: { challenge, salt } };
    const cases = [
      ['a wrong password is closed with 4004', { password: 'wrong' },
        (peer) => peer.opening({ password: 'right' }), ZylAuthenticationError],
      ['a server that asks no password cannot prove it is the engine', { password: 'right' },
        (peer) => peer.opening(), ZylAuthenticationError],
      ['a server whose proof is wrong is not the engine', { password: 'right' }, async (peer) => {
        peer.send(askedHello);
        const identify = await peer.next();
        peer.send({ op: 'identified', protocol: 2, subscriptions: [],
          serverProof: sha256Base64(identify.authentication + challenge) });
      }, ZylAuthenticationError],
      ['an identified sent before the answer proves nothing', { password: 'right' }, (peer) => {
        peer.send(askedHello);
        peer.send({ op: 'identified', protocol: 2, subscriptions: [] });
      }, ZylProtocolError],
      ['a client without a password cannot answer a challenge', {},
        (peer) => peer.send(askedHello), ZylAuthenticationError],
      ['a server that never says hello times out', { timeoutMs: 150 }, () => {}, ZylTimeoutError],
      ['a message before hello that is not JSON', {}, (peer) => peer.send('version:1.2.4'), Error],
    ];
    for (const [name, options, script, expected] of cases) {
      await t.test(name, { timeout: 10000 }, async () => {
        engine = await FakeEngine.start(script);
        const closes = [];
        client = new ZylClient({ url: engine.url, protocol: 2, timeoutMs: 2000, ...options });
        client.on('close', (info) => closes.push(info));
        await assert.rejects(client.connect(), expected);
        assert.equal(client.connected, false);
        assert.equal(closes.length, 1);
        await engine.stop();
        engine = undefined;
      });
    }
  });

  test('a refused handshake rejects the connect', async () => {
    engine = await FakeEngine.start(() => {}, { refuse: 403 });
    client = new ZylClient({ url: engine.url, protocol: 2 });
    await assert.rejects(client.connect(), ZylConnectionError);
  });
});

describe('a failed connect leaves nothing running', () => {
  function listen(server) {
    return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server.address().port)));
  }

  async function closedPort() {
    const server = createServer();
    const port = await listen(server);
    await new Promise((resolve) => server.close(resolve));
    return { port, stop: () => {} };
  }

  // Takes the connection and never answers the handshake.
  async function silentPort() {
    const sockets = new Set();
    const server = createServer((socket) => sockets.add(socket));
    const port = await listen(server);
    return {
      port,
      stop: () => {
        for (const socket of sockets) socket.destroy();
        server.close();
      },
    };
  }

  const cases = [
    ['refused', closedPort, 'ZylConnectionError'],
    ['never answered', silentPort, 'ZylTimeoutError'],
  ];
  for (const protocol of [1, 2]) {
    for (const [what, makePort, expected] of cases) {
      test(`protocol ${protocol}: a process whose connect is ${what} exits by itself`, async () => {
        const { port, stop } = await makePort();
        const script = `import { ZylClient } from ${JSON.stringify(INDEX)};
          const client = new ZylClient({ url: 'ws://127.0.0.1:${port}', protocol: ${protocol}, timeoutMs: 300 });
          await client.connect().then(() => console.log('connected'), (error) => console.log(error.name));`;
        const child = spawn(process.execPath, ['--experimental-websocket', '--input-type=module', '-e', script],
          { stdio: ['ignore', 'pipe', 'pipe'] });
        let stdout = '';
        child.stdout.on('data', (chunk) => { stdout += chunk; });
        const exited = new Promise((resolve) => child.once('exit', resolve));
        const timer = setTimeout(() => child.kill('SIGKILL'), 5000);
        const code = await exited;
        clearTimeout(timer);
        stop();
        assert.equal(code, 0, 'the process had to be killed: something kept it running');
        assert.equal(stdout.trim(), expected);
      });
    }
  }
});

describe('close() while a connect is under way', () => {
  test('settles at once, and the connect rejects', async () => {
    const sockets = new Set();
    // Takes the connection and never answers the handshake.
    const server = createServer((socket) => sockets.add(socket));
    await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
    try {
      const waiting = new ZylClient({ url: `ws://127.0.0.1:${server.address().port}`, protocol: 2, timeoutMs: 8000 });
      const connecting = settlement(waiting.connect());
      while (sockets.size === 0) await new Promise((resolve) => setTimeout(resolve, 10));
      const outcome = await Promise.race([
        waiting.close().then(() => 'closed'),
        new Promise((resolve) => setTimeout(() => resolve('still waiting'), 4000)),
      ]);
      assert.equal(outcome, 'closed');
      assert.ok((await connecting).error instanceof ZylConnectionError);
    } finally {
      for (const socket of sockets) socket.destroy();
      server.close();
    }
  });
});
