// The client's request queue and reconnect loop, driven through a scripted socket so that
// interleavings the engine produces only by chance can be set up exactly.
import { test, describe } from 'node:test';
import assert from 'node:assert/strict';
import { ZylClient, ZylConnectionError, ZylProtocolError, ZylReplyError, ZylTimeoutError } from '../index.mjs';

// The sockets from number `refuseFrom` on (0 is the first) are refused, `refuse` of them.
function scriptedSocketClass({ refuse = 0, refuseFrom = 0 } = {}) {
  const sockets = [];
  let refusals = refuse;
  class ScriptedSocket extends EventTarget {
    constructor(url) {
      super();
      this.url = url;
      this.readyState = 0;
      this.sent = [];
      sockets.push(this);
      setTimeout(() => {
        if (sockets.length > refuseFrom && refusals > 0) {
          refusals -= 1;
          this.readyState = 3;
          this.dispatchEvent(new Event('error'));
          return;
        }
        this.readyState = 1;
        this.dispatchEvent(new Event('open'));
      }, 1);
    }
    send(text) {
      this.sent.push(text);
    }
    close(code = 1000) {
      this.drop(code);
    }
    // engine side
    deliver(...texts) {
      for (const text of texts) {
        const event = new Event('message');
        event.data = text;
        this.dispatchEvent(event);
      }
    }
    drop(code = 1006) {
      this.readyState = 3;
      const event = new Event('close');
      event.code = code;
      event.reason = '';
      this.dispatchEvent(event);
    }
  }
  return { ScriptedSocket, sockets };
}

async function connected(options = {}) {
  const { ScriptedSocket, sockets } = scriptedSocketClass(options);
  const client = new ZylClient({ WebSocket: ScriptedSocket, backoff: { initialMs: 5, jitter: 0 }, ...options });
  await client.connect();
  return { client, sockets, socket: sockets[0] };
}

const tick = () => new Promise((resolve) => setTimeout(resolve, 0));

describe('pairing replies with requests', () => {
  test('replies resolve in send order while pushes go to their listeners', async () => {
    const { client, socket } = await connected();
    const vitals = [];
    const events = [];
    client.on('vitals', (record) => vitals.push(record));
    client.on('event', (event) => events.push(event));
    const version = client.getVersion();
    const angle = client.getAngle(0, 1);
    socket.deliver('event:transport:{"type":"play","on":true}', 'version:1.2.4');
    socket.deliver('vitals:{"v":"1.2.4","playing":true}', 'angle:3');
    assert.equal((await version).version, '1.2.4');
    assert.equal((await angle).angle, 3);
    assert.deepEqual(socket.sent, ['get.version', 'get.angle:0:1']);
    assert.deepEqual(events, [{ topic: 'transport', type: 'play', on: true }]);
    assert.equal(vitals.length, 1);
  });

  test('texts without a reply resolve on sending and leave the queue alone', async () => {
    const { client, socket } = await connected();
    const subscribed = await client.subscribeVitals();
    const host = await client.send('get.angle');
    assert.equal(subscribed.kind, 'none');
    assert.equal(host.command, 'host');
    const sequence = client.getSequence();
    socket.deliver('sequence.error:notimeline');
    await assert.rejects(sequence, (error) => error instanceof ZylReplyError && error.reason === 'notimeline');
    assert.deepEqual(socket.sent, ['vitals.subscribe', 'get.angle', 'get.sequence']);
  });

  test('the command list gathers its lines up to the count', async () => {
    const { client, socket } = await connected();
    const list = client.getCommands();
    const after = client.getVersion();
    socket.deliver('command:a:c:b:d', 'vitals:{"v":"1.2.4"}', 'command:e;f:g:h:i', 'commands.done:3', 'version:1.2.4');
    const commands = await list;
    assert.equal(commands.count, 3);
    assert.deepEqual(commands.commands, [['a', 'c', 'b', 'd'], ['e;f', 'g', 'h', 'i']]);
    assert.equal((await after).version, '1.2.4');
    const failing = client.getCommands();
    socket.deliver('commands.error:nosuite');
    await assert.rejects(failing, (error) => error.reason === 'nosuite' && error.kind === 'commands.error');
  });

  test('a dump runs from its start line to its end line, pushes in between', async () => {
    const { client, socket } = await connected();
    const dump = client.dumpAngle(0);
    const next = client.getAngle(0);
    socket.deliver('[dump] === VIDEO SEGMENT NODE DUMP START ===', '[dump] time=0 track=-1',
      'event:marker:{"type":"rebuild","count":2}', '[dump] --- timeline 7 ---',
      '[dump] probed 1 timelines, 1 with a node at this time, printed 1',
      '[dump] === VIDEO SEGMENT NODE DUMP END ===', 'angle:0');
    const result = await dump;
    assert.equal(result.lines.length, 5);
    assert.deepEqual(result.summary, { probed: 1, withNode: 1, printed: 1 });
    assert.equal((await next).angle, 0);
    const bad = client.send('dump.angle:');
    socket.deliver('dump.error:parse');
    await assert.rejects(bad, (error) => error.reason === 'parse');
  });

  test('a reply of the wrong kind is reported, not handed to the wrong caller', async () => {
    const { client, socket } = await connected();
    const unexpected = [];
    client.on('unexpected', (text) => unexpected.push(text));
    socket.deliver('angle:1');
    const version = client.getVersion();
    socket.deliver('clipsize:1:2');
    await assert.rejects(version, ZylProtocolError);
    assert.deepEqual(unexpected, ['angle:1', 'clipsize:1:2']);
  });

  test('a timed-out request keeps its slot so its late reply is not taken for the next', async () => {
    const { client, socket } = await connected({ timeoutMs: 20 });
    const slow = client.getSequence();
    await assert.rejects(slow, ZylTimeoutError);
    const next = client.getVersion();
    socket.deliver('sequence:{"timelineID":7}', 'version:1.2.4');
    assert.equal((await next).version, '1.2.4');
  });

  test('texts the engine cannot take are refused before sending', async () => {
    const { client, socket } = await connected();
    await assert.rejects(client.send(''), TypeError);
    await assert.rejects(client.send('x'.repeat(65536)), RangeError);
    // 65535 bytes is the largest message; é is two bytes in UTF-8.
    await assert.rejects(client.send('é'.repeat(32768)), RangeError);
    await assert.rejects(client.runHostCommand('get.version'), TypeError);
    await client.runHostCommand('cmd.play');
    assert.deepEqual(socket.sent, ['cmd.play']);
  });
});

describe('checking the helpers\' arguments', () => {
  test('a wrong type rejects with a TypeError naming the parameter, and nothing is sent', async () => {
    const { client, socket } = await connected();
    const cases = [
      [() => client.getClipSize(0, 2), /options/],
      [() => client.getClipSize(0, { trak: 2 }), /trak/],
      [() => client.getAngleAtMarker(5), /name/],
      [() => client.getClipSizeAtMarker(undefined, 1), /name/],
      [() => client.exec(undefined, 'cmd.play'), /category/],
      [() => client.exec('', 7), /command/],
      [() => client.getSequence('3x'), /timeline/],
      [() => client.getAngle(0, '1'.repeat(20)), /track/],
      [() => client.getTransitions(0, null), /end/],
      [() => client.runHostCommand(3), /name/],
    ];
    for (const [call, named] of cases) {
      const result = call();
      assert.ok(result instanceof Promise, `${call}: returns a promise`);
      await assert.rejects(result, (error) => (error instanceof TypeError || error instanceof RangeError) && named.test(error.message),
        String(call));
    }
    assert.deepEqual(socket.sent, []);
    const size = client.getClipSize(0, { track: 2 });
    socket.deliver('clipsize:1920:1080');
    await size;
    assert.deepEqual(socket.sent, ['get.clipsize:0:2']);
  });
});

describe('losing and regaining the connection', () => {
  test('pending requests fail, the client reconnects and renews its subscription', async () => {
    const { client, sockets, socket } = await connected();
    await client.subscribeVitals();
    const lost = client.getInfo();
    const reopened = new Promise((resolve) => client.on('open', resolve));
    socket.drop();
    await assert.rejects(lost, ZylConnectionError);
    await assert.rejects(client.getVersion(), ZylConnectionError);
    await reopened;
    assert.equal(sockets.length, 2);
    assert.deepEqual(sockets[1].sent, ['vitals.subscribe']);
    const version = client.getVersion();
    sockets[1].deliver('version:1.2.4');
    assert.equal((await version).version, '1.2.4');
  });

  test('failed attempts back off exponentially up to the ceiling', async () => {
    const { ScriptedSocket, sockets } = scriptedSocketClass({ refuse: 3, refuseFrom: 1 });
    const client = new ZylClient({ WebSocket: ScriptedSocket, backoff: { initialMs: 4, factor: 2, maxMs: 20, jitter: 0 } });
    const delays = [];
    client.on('reconnecting', ({ delayMs }) => delays.push(delayMs));
    await client.connect();
    const reopened = new Promise((resolve) => client.on('open', resolve));
    sockets[0].drop();
    await reopened;
    assert.deepEqual(delays, [4, 8, 16, 20]);
    assert.equal(sockets.length, 5);
    // Success resets the backoff.
    sockets[4].drop();
    await tick();
    assert.deepEqual(delays, [4, 8, 16, 20, 4]);
    await client.close();
  });

  test('a refused first connect rejects and tries no more', async () => {
    const { ScriptedSocket, sockets } = scriptedSocketClass({ refuse: 1 });
    const client = new ZylClient({ WebSocket: ScriptedSocket, backoff: { initialMs: 1, jitter: 0 } });
    const reconnecting = [];
    client.on('reconnecting', (info) => reconnecting.push(info));
    await assert.rejects(client.connect(), ZylConnectionError);
    await new Promise((resolve) => setTimeout(resolve, 30));
    assert.equal(sockets.length, 1);
    assert.deepEqual(reconnecting, []);
  });

  test('a close asked for by the user is final', async () => {
    const { client, sockets } = await connected();
    const reconnecting = [];
    client.on('reconnecting', (info) => reconnecting.push(info));
    await client.close();
    await new Promise((resolve) => setTimeout(resolve, 30));
    assert.equal(sockets.length, 1);
    assert.deepEqual(reconnecting, []);
    assert.equal(client.connected, false);
  });
});
