import { test, describe } from 'node:test';
import assert from 'node:assert/strict';
import {
  classifyCommand, commandText, foldMarkerName, parseEvent, parseReply, parseVitals,
  summarizeDump, ZylProtocolError, parseJson, stringifyJson,
} from '../index.mjs';
import { TEXT_COMMANDS } from '../src/engine-description.mjs';

describe('which texts the engine answers, and how', () => {
  const cases = [
    ['get.version', 'one', 'version'],
    ['get.info', 'one', 'info'],
    ['get.commands', 'commands', 'commands'],
    ['vitals.subscribe', 'none'],
    ['get.angle:0', 'one', 'angle'],
    ['get.angle:', 'one', 'angle'],
    ['get.angle.marker:Intro', 'one', 'angle'],
    ['get.clipsize:1000', 'one', 'clipsize'],
    ['get.clipsize.marker:Intro:2', 'one', 'clipsize'],
    ['get.transitions:0:1:2', 'one', 'transitions'],
    ['multicam.angle:3', 'one', 'multicam.angle'],
    ['exec:', 'one', 'exec'],
    ['get.sequence', 'one', 'sequence'],
    ['get.sequence:', 'one', 'sequence'],
    ['get.sequence:7', 'one', 'sequence'],
    ['dump.angle:0', 'dump', 'dump'],
    ['debug.tlscan:x', 'one', 'tlscan'],
    // Bare names, wrong case and trailing bytes all fall through to the host unanswered.
    ['get.angle', 'none'],
    ['exec', 'none'],
    ['dump.angle', 'none'],
    ['get.version ', 'none'],
    ['get.version\n', 'none'],
    ['GET.VERSION', 'none'],
    ['get.commands:', 'none'],
    ['get.sequencex', 'none'],
    ['cmd.multicam.choosenocut.camera3', 'none'],
  ];
  for (const [text, reply, kind] of cases) {
    test(JSON.stringify(text), () => {
      const shape = classifyCommand(text);
      assert.equal(shape.reply, reply);
      if (kind) assert.equal(shape.kind, kind);
    });
  }
});

describe("the client's command texts against the engine's table", () => {
  // One call of each text builder; a builder without one here fails the test below.
  const calls = {
    version: [], info: [], commands: [], subscribe: [], sequence: [7], angle: [0],
    angleAtMarker: ['Intro'], clipSize: [0], clipSizeAtMarker: ['Intro'], transitions: [0, 1],
    multicamAngle: [3], exec: ['', 'cmd.undo'], dumpAngle: [0], tlscan: [],
  };

  test('every builder writes a text that selects one of the engine\'s commands', () => {
    for (const [builder, write] of Object.entries(commandText)) {
      assert.ok(calls[builder], `no call of commandText.${builder} in this test`);
      const shape = classifyCommand(write(...calls[builder]));
      assert.notEqual(shape.command, 'host', `commandText.${builder} selects no command`);
    }
  });

  test('every command of the engine has a builder', () => {
    const written = new Set(
      Object.entries(commandText).map(([builder, write]) => classifyCommand(write(...(calls[builder] ?? []))).command),
    );
    for (const command of TEXT_COMMANDS) assert.ok(written.has(command.name), `no builder writes ${command.name}`);
  });

  test("every reply kind of the engine's commands is one the client reads", () => {
    for (const kind of TEXT_COMMANDS.flatMap((command) => command.replies)) {
      try {
        parseReply(kind.endsWith(' ') ? kind : `${kind}:`);
      } catch (error) {
        assert.doesNotMatch(error.message, /unknown reply kind/, kind);
      }
    }
  });
});

describe('reading replies', () => {
  test('version and info', () => {
    assert.deepEqual(parseReply('version:1.2.4'), { kind: 'version', text: 'version:1.2.4', version: '1.2.4' });
    const info = parseReply('info:{"engine":"ZYL Engine","api":1,"commands":["get.version"],"telemetry":false}');
    assert.equal(info.info.engine, 'ZYL Engine');
    assert.deepEqual(info.info.commands, ['get.version']);
    assert.throws(() => parseReply('info:{"engine":'), ZylProtocolError);
  });

  test('command list lines keep exactly four fields, empty ones included', () => {
    assert.deepEqual(parseReply('command:a:c:b:d').fields, ['a', 'c', 'b', 'd']);
    assert.deepEqual(parseReply('command::::').fields, ['', '', '', '']);
    assert.throws(() => parseReply('command:a:b:c'), ZylProtocolError);
    assert.equal(parseReply('commands.done:0').count, 0);
    assert.equal(parseReply('commands.done:3').count, 3);
  });

  test('exec echo splits at the first colon only', () => {
    assert.deepEqual(
      (({ category, command }) => ({ category, command }))(parseReply('exec.ok:edit:cmd:with:colons')),
      { category: 'edit', command: 'cmd:with:colons' },
    );
    const empty = parseReply('exec.ok::cmd.play');
    assert.equal(empty.category, '');
    assert.equal(empty.command, 'cmd.play');
  });

  test('sequence and tlscan carry JSON records', () => {
    const text = 'sequence:{"timelineID":7,"ticksPerSecond":254016000000,"ticksPerFrame":8475667200,' +
      '"fps":29.970,"dropFrame":false,"width":1920,"height":1080,"parNum":1,"parDen":1,"zeroPointTicks":0}';
    const sequence = parseReply(text).sequence;
    assert.equal(sequence.timelineID, 7);
    assert.equal(sequence.fps, 29.97);
    assert.equal(sequence.ticksPerSecond, 254016000000);
    const scan = parseReply('tlscan:{"from":0,"to":10,"scanned":10,"elapsedMs":3,"budgetHit":false,"hits":3,' +
      '"groupsTotal":2,"groups":[{"a":3,"b":4,"n":2,"segs":12,"markers":0},{"a":7,"b":7,"n":1,"segs":12,"markers":null}],"marked":[]}').scan;
    assert.equal(scan.groups[1].markers, null);
    assert.equal(scan.hits, 3);
  });

  test('numeric replies', () => {
    assert.equal(parseReply('angle:3').angle, 3);
    assert.equal(parseReply('angle:0').angle, 0);
    assert.equal(parseReply('multicam.angle.ok:16').angle, 16);
    const size = parseReply('clipsize:1920:0');
    assert.deepEqual([size.width, size.height], [1920, 0]);
    assert.throws(() => parseReply('angle:x'), ZylProtocolError);
    assert.throws(() => parseReply('clipsize:1920'), ZylProtocolError);
    assert.throws(() => parseReply('clipsize:1:2:3'), ZylProtocolError);
  });

  test('transitions: names may be dashes, question marks or hold colons', () => {
    const none = parseReply('transitions:-:0:-:0');
    assert.deepEqual([none.in, none.out], [{ name: '-', duration: 0 }, { name: '-', duration: 0 }]);
    const both = parseReply('transitions:Cross Dissolve:100:?:-25');
    assert.deepEqual(both.in, { name: 'Cross Dissolve', duration: 100 });
    assert.deepEqual(both.out, { name: '?', duration: -25 });
    const colon = parseReply('transitions:Dip:12:AE.Wipe:Left:7');
    assert.deepEqual(colon.in, { name: 'Dip', duration: 12 });
    assert.deepEqual(colon.out, { name: 'AE.Wipe:Left', duration: 7 });
    assert.throws(() => parseReply('transitions:a:b'), ZylProtocolError);
  });

  test('error replies carry the reason, and a host status as a number', () => {
    for (const text of ['angle.error:parse', 'multicam.angle.error:range', 'commands.error:nosuite',
      'exec.error:alloc', 'transitions.error:noclip', 'sequence.error:notimeline', 'dump.error:parse']) {
      const reply = parseReply(text);
      assert.equal(reply.kind + ':' + reply.error, text);
      assert.equal(reply.code, undefined);
    }
    const status = parseReply('sequence.error:1348563565');
    assert.equal(status.kind, 'sequence.error');
    assert.equal(status.code, 1348563565);
    assert.equal(parseReply('sequence.error:0').code, 0);
  });

  test('dump lines and their summary', () => {
    assert.deepEqual(parseReply('[dump] time=5 track=-1'), { kind: 'dump', text: '[dump] time=5 track=-1', line: 'time=5 track=-1' });
    const dump = summarizeDump([
      '=== VIDEO SEGMENT NODE DUMP START ===', 'time=0 track=-1', '--- timeline 7 ---',
      'root node acquired, segmentOffset=0', 'NODE id=5 type=RenderableNodeClipImpl flags=0 currentTrack=-1',
      '  Clip_TrackID = 1', 'probed 3 timelines, 1 with a node at this time, printed 1',
      '=== VIDEO SEGMENT NODE DUMP END ===',
    ]);
    assert.deepEqual([dump.time, dump.track], [0, -1]);
    assert.deepEqual(dump.timelines, [7]);
    assert.deepEqual(dump.summary, { probed: 3, withNode: 1, printed: 1 });
    assert.equal(dump.suiteMissing, false);
    const missing = summarizeDump(['=== VIDEO SEGMENT NODE DUMP START ===', 'time=1 track=2',
      'ERROR: could not acquire VideoSegmentSuite', '=== VIDEO SEGMENT NODE DUMP END ===']);
    assert.equal(missing.suiteMissing, true);
    assert.equal(missing.summary, null);
  });

  test('garbage is refused rather than guessed at', () => {
    for (const text of ['', 'hello', ':x', 'nosuchkind:1']) {
      assert.throws(() => parseReply(text), ZylProtocolError, text);
    }
  });
});

describe('reading pushes', () => {
  const record = (timecode, peak = '-6.0', speed = '1.00') => 'vitals:{"v":"1.2.4","playing":true,"idleSec":12,' +
    '"paused":false,"recording":false,"rewind":false,"ffwd":true,"speed":' + speed + ',"timecode":"' + timecode +
    '","displayMode":2,"cuts":14,"cutsChanged":true,"edited":false,"seqChanged":false,"markers":3,"tracks":4,' +
    '"audioPeakDb":' + peak + ',"soloActive":true}';

  test('a well-formed record', () => {
    const vitals = parseVitals(record('00:00:01:15'));
    assert.equal(vitals.timecode, '00:00:01:15');
    assert.equal(vitals.playing, true);
    assert.equal(vitals.ffwd, true);
    assert.equal(vitals.cuts, 14);
    assert.equal(vitals.audioPeakDb, -6);
    assert.equal(vitals.soloActive, true);
  });

  test('a timecode holding a quote or backslash, which breaks JSON, still reads', () => {
    const vitals = parseVitals(record('01:02"x\\y'));
    assert.equal(vitals.timecode, '01:02"x\\y');
    assert.equal(vitals.displayMode, 2);
    assert.equal(vitals.tracks, 4);
    assert.equal(vitals.soloActive, true);
  });

  test('non-finite numbers as printf writes them', () => {
    const vitals = parseVitals(record('a"b', 'inf', '-nan'));
    assert.equal(vitals.audioPeakDb, Infinity);
    assert.ok(Number.isNaN(vitals.speed));
    assert.equal(parseVitals(record('a"b', '-inf')).audioPeakDb, -Infinity);
  });

  test('a record cut short is refused', () => {
    assert.throws(() => parseVitals(record('x"').slice(0, 120)), ZylProtocolError);
  });

  test('transport and marker events', () => {
    assert.deepEqual(parseEvent('event:transport:{"type":"play","on":true}'), { topic: 'transport', type: 'play', on: true });
    assert.deepEqual(parseEvent('event:marker:{"type":"changed","index":4294967295,"count":-1}'),
      { topic: 'marker', type: 'changed', index: 4294967295, count: -1 });
    assert.deepEqual(parseEvent('event:marker:{"type":"rebuild","count":12}'), { topic: 'marker', type: 'rebuild', count: 12 });
    assert.throws(() => parseEvent('event:transport'), ZylProtocolError);
  });
});

describe('writing command texts', () => {
  test('ticks keep all 64 bits, from numbers, bigints and decimal strings', () => {
    assert.equal(commandText.angle(0), 'get.angle:0:-1');
    assert.equal(commandText.angle(9223372036854775807n, 2), 'get.angle:9223372036854775807:2');
    assert.equal(commandText.angle('-9223372036854775808'), 'get.angle:-9223372036854775808:-1');
    assert.throws(() => commandText.angle(9223372036854775808n), RangeError);
    assert.throws(() => commandText.angle(1.5), TypeError);
    assert.throws(() => commandText.angle(2 ** 60), TypeError);
    assert.throws(() => commandText.angle(0, 2 ** 31), RangeError);
  });

  test('marker names keep their colons and are folded the way the engine folds them', () => {
    assert.equal(commandText.angleAtMarker('Scene: two'), 'get.angle.marker:Scene: two:-1');
    assert.equal(commandText.clipSizeAtMarker('Café', 1), 'get.clipsize.marker:Caf_:1');
    // Outside the basic plane a character is two UTF-16 units, so two underscores.
    assert.equal(foldMarkerName('a😀b'), 'a__b');
    assert.equal(foldMarkerName('plain ~'), 'plain ~');
  });

  test('optional pieces and the exec rules', () => {
    assert.equal(commandText.sequence(), 'get.sequence');
    assert.equal(commandText.clipSize(1000, { track: 0 }), 'get.clipsize:1000:0');
    assert.equal(commandText.clipSize(1000, { end: 5000, track: 0 }), 'get.clipsize:1000:5000:0');
    assert.equal(commandText.exec('', 'cmd.play'), 'exec::cmd.play');
    assert.equal(commandText.exec('edit', 'a:b'), 'exec:edit:a:b');
    assert.throws(() => commandText.exec('a:b', 'c'), TypeError);
    assert.throws(() => commandText.exec('a', ''), TypeError);
    assert.equal(commandText.tlscan(), 'debug.tlscan:0:0:3000');
  });
});

describe('reading JSON without losing integers', () => {
  test('the long-number reader agrees with JSON.parse on everything but big integers', () => {
    const big = '12345678901234567890';
    // Members as JSON.parse gives them: the last duplicate counts, "__proto__" is an own member.
    const object = parseJson(`{"a":1,"a":${big},"__proto__":{"x":1},"s":"\\u0041\\"${big}"}`);
    assert.deepEqual(Object.keys(object), ['a', '__proto__', 's']);
    assert.equal(object.a, BigInt(big));
    assert.equal(Object.getPrototypeOf(object), Object.prototype);
    assert.deepEqual(Object.getOwnPropertyDescriptor(object, '__proto__').value, { x: 1 });
    assert.equal(object.s, `A"${big}`);
    assert.deepEqual(parseJson(` [ -0 , 1.5e3, ${big}.5, 9007199254740991, -9007199254740992, true, null ] `),
      [-0, 1500, 12345678901234567000, 9007199254740991, -9007199254740992n, true, null]);
    for (const bad of [`[${big},]`, `{"a":${big}} x`, `[${big}`, `[0${big}]`, `["${big}\u0001"]`, `{${big}:1}`, `[+${big}]`]) {
      assert.throws(() => parseJson(bad), SyntaxError, bad);
    }
    assert.equal(stringifyJson({ a: [1n, undefined, 'x'], b: undefined, c: -(2n ** 63n) }), '{"a":[1,null,"x"],"c":-9223372036854775808}');
  });
});
