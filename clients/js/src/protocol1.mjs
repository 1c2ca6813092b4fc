// The engine's wire vocabulary: which texts it answers and how, how to read each reply and
// push, and how to write command texts. Free of sockets so that it can be tested on strings.

import { TEXT_COMMANDS } from './engine-description.mjs';

export { ENGINE_VERSION } from './engine-description.mjs';

// The engine reads messages with a 16-bit length and takes an empty text frame for the end
// of the connection, so neither can carry a command.
export const MAX_MESSAGE_BYTES = 65535;

export const DUMP_PREFIX = '[dump] ';
export const DUMP_START = '=== VIDEO SEGMENT NODE DUMP START ===';
export const DUMP_END = '=== VIDEO SEGMENT NODE DUMP END ===';

const INT32_MIN = -(2n ** 31n);
const INT32_MAX = 2n ** 31n - 1n;
const INT64_MIN = -(2n ** 63n);
const INT64_MAX = 2n ** 63n - 1n;

export class ZylProtocolError extends Error {
  constructor(message, text) {
    super(message);
    this.name = 'ZylProtocolError';
    this.text = text;
  }
}

// An ".error:" reply. `reason` is the engine's token ("parse", "range", "nosuite", ...);
// get.sequence may instead give a host status, which also lands in `code`.
export class ZylReplyError extends Error {
  constructor(reply, request) {
    super(`${request ?? reply.kind}: ${reply.text}`);
    this.name = 'ZylReplyError';
    this.kind = reply.kind;
    this.reason = reply.error;
    this.code = reply.code;
    this.reply = reply.text;
    this.request = request;
  }
}

// The commands whose replies are several lines, gathered until their last one.
const GATHERED = { commands: 'commands', dump: 'dump' };

// Whether `text` selects `command`, exactly as the engine's dispatcher decides: byte-exact,
// nothing trimmed.
function selects(command, text) {
  if (text === command.name) return command.arguments !== 'required';
  return command.arguments !== 'none' && text.startsWith(`${command.name}:`);
}

// What a command text will bring back, decided as the engine's dispatcher decides: the first
// command of the engine's table that the text selects, and anything unmatched goes to the
// host with no reply.
//   reply: 'none' | 'one' | 'commands' | 'dump'
//   kind:  the reply kind word expected for 'one'
export function classifyCommand(text) {
  const command = TEXT_COMMANDS.find((candidate) => selects(candidate, text));
  if (!command) return { command: 'host', reply: 'none' };
  if (command.replies.length === 0) return { command: command.name, reply: 'none' };
  return { command: command.name, reply: GATHERED[command.family] ?? 'one', kind: command.family };
}

// Each reply kind's family, and each family's error reply kind.
const FAMILIES = new Map(
  TEXT_COMMANDS.filter((command) => command.family).flatMap((command) => [
    ...command.replies.map((kind) => [kind, command.family]),
    [`${command.family}.error`, command.family],
  ]),
);

export function isPush(text) {
  return text.startsWith('vitals:') || text.startsWith('event:');
}

// The family a reply kind belongs to, so "angle.error" and "angle" both answer get.angle
// and "multicam.angle.ok" answers multicam.angle. A kind the engine's table does not know
// keeps the family its name gives.
export function replyFamily(kind) {
  if (FAMILIES.has(kind)) return FAMILIES.get(kind);
  if (kind.endsWith('.error')) return kind.slice(0, -'.error'.length);
  if (kind.endsWith('.ok')) return kind.slice(0, -'.ok'.length);
  return kind;
}

const INTEGER = /^-?\d+$/;

function integerOf(piece, text) {
  if (!INTEGER.test(piece)) throw new ZylProtocolError(`not an integer: ${piece}`, text);
  return Number(piece);
}

function jsonOf(payload, text) {
  try {
    return JSON.parse(payload);
  } catch (error) {
    throw new ZylProtocolError(`malformed JSON: ${error.message}`, text);
  }
}

// Durations are plain decimals and the names are sent unescaped, so a name may hold colons:
// the split that gives the in name no colon wins, which is the only reading when the in
// name really has none.
const TRANSITIONS = /^(.*?):(-?\d+):(.*):(-?\d+)$/s;

const REPLY_READERS = {
  version: (payload) => ({ version: payload }),
  info: (payload, text) => ({ info: jsonOf(payload, text) }),
  command: (payload, text) => {
    const fields = payload.split(':');
    if (fields.length !== 4) throw new ZylProtocolError('a command line has four fields', text);
    return { fields };
  },
  'commands.done': (payload, text) => ({ count: integerOf(payload, text) }),
  'exec.ok': (payload, text) => {
    const colon = payload.indexOf(':');
    if (colon < 0) throw new ZylProtocolError('exec.ok without category', text);
    return { category: payload.slice(0, colon), command: payload.slice(colon + 1) };
  },
  sequence: (payload, text) => ({ sequence: jsonOf(payload, text) }),
  'multicam.angle.ok': (payload, text) => ({ angle: integerOf(payload, text) }),
  angle: (payload, text) => ({ angle: integerOf(payload, text) }),
  clipsize: (payload, text) => {
    const [width, height, ...rest] = payload.split(':');
    if (height === undefined || rest.length) throw new ZylProtocolError('clipsize is w:h', text);
    return { width: integerOf(width, text), height: integerOf(height, text) };
  },
  transitions: (payload, text) => {
    const match = TRANSITIONS.exec(payload);
    if (!match) throw new ZylProtocolError('transitions is name:duration:name:duration', text);
    return {
      in: { name: match[1], duration: Number(match[2]) },
      out: { name: match[3], duration: Number(match[4]) },
    };
  },
  tlscan: (payload, text) => ({ scan: jsonOf(payload, text) }),
};

// Reads one reply frame (never a push) into { kind, text, ...fields }; an ".error:" reply
// becomes { kind, text, error, code? }. A "[dump] " line is { kind: 'dump', line }.
export function parseReply(text) {
  if (text.startsWith(DUMP_PREFIX)) {
    return { kind: 'dump', text, line: text.slice(DUMP_PREFIX.length) };
  }
  const colon = text.indexOf(':');
  if (colon <= 0) throw new ZylProtocolError('a reply is kind:payload', text);
  const kind = text.slice(0, colon);
  const payload = text.slice(colon + 1);
  if (kind.endsWith('.error')) {
    const reply = { kind, text, error: payload };
    // get.sequence passes the host's status through in decimal.
    if (INTEGER.test(payload)) reply.code = Number(payload);
    return reply;
  }
  const reader = REPLY_READERS[kind];
  if (!reader) throw new ZylProtocolError(`unknown reply kind ${kind}`, text);
  return { kind, text, ...reader(payload, text) };
}

// Reads the dump lines between the start and end markers into the request echo, the
// summary and the timeline sections; the lines stay available unchanged.
export function summarizeDump(lines) {
  const dump = { lines, time: null, track: null, suiteMissing: false, summary: null, timelines: [] };
  for (const line of lines) {
    let match;
    if ((match = /^time=(-?\d+) track=(-?\d+)$/.exec(line))) {
      dump.time = Number(match[1]);
      dump.track = Number(match[2]);
    } else if (line === 'ERROR: could not acquire VideoSegmentSuite') {
      dump.suiteMissing = true;
    } else if ((match = /^--- timeline (-?\d+) ---$/.exec(line))) {
      dump.timelines.push(Number(match[1]));
    } else if ((match = /^probed (-?\d+) timelines, (-?\d+) with a node at this time, printed (-?\d+)$/.exec(line))) {
      dump.summary = { probed: Number(match[1]), withNode: Number(match[2]), printed: Number(match[3]) };
    }
  }
  return dump;
}

// printf writes non-finite doubles as inf or nan, which JSON cannot hold.
function cNumber(piece) {
  const lower = piece.toLowerCase();
  if (/^[+-]?inf(inity)?$/.test(lower)) return lower.startsWith('-') ? -Infinity : Infinity;
  if (/^[+-]?nan/.test(lower)) return NaN;
  return Number(piece);
}

// The record is printf output with the host's timecode text pasted in unescaped, so a quote
// or backslash in the timecode (or a non-finite number) breaks JSON. The field order is
// fixed, which lets a pattern read such records too.
const VITALS = new RegExp(
  '^\\{"v":"([^"]*)","playing":(true|false),"idleSec":(-?\\d+),"paused":(true|false),' +
    '"recording":(true|false),"rewind":(true|false),"ffwd":(true|false),"speed":([^,]+),' +
    '"timecode":"(.*)","displayMode":(\\d+),"cuts":(-?\\d+),"cutsChanged":(true|false),' +
    '"edited":(true|false),"seqChanged":(true|false),"markers":(-?\\d+),"tracks":(-?\\d+),' +
    '"audioPeakDb":([^,]+),"soloActive":(true|false)\\}$',
  's',
);

export function parseVitals(text) {
  if (!text.startsWith('vitals:')) throw new ZylProtocolError('not a vitals record', text);
  const body = text.slice('vitals:'.length);
  try {
    return JSON.parse(body);
  } catch {
    // fall through to the field-order reading
  }
  const m = VITALS.exec(body);
  if (!m) throw new ZylProtocolError('malformed vitals record', text);
  const flag = (value) => value === 'true';
  return {
    v: m[1], playing: flag(m[2]), idleSec: Number(m[3]), paused: flag(m[4]),
    recording: flag(m[5]), rewind: flag(m[6]), ffwd: flag(m[7]), speed: cNumber(m[8]),
    timecode: m[9], displayMode: Number(m[10]), cuts: Number(m[11]), cutsChanged: flag(m[12]),
    edited: flag(m[13]), seqChanged: flag(m[14]), markers: Number(m[15]), tracks: Number(m[16]),
    audioPeakDb: cNumber(m[17]), soloActive: flag(m[18]),
  };
}

// "event:transport:{...}" and "event:marker:{...}".
export function parseEvent(text) {
  const match = /^event:([^:]+):(.*)$/s.exec(text);
  if (!match) throw new ZylProtocolError('an event is event:topic:json', text);
  return { topic: match[1], ...jsonOf(match[2], text) };
}

// ---- command texts ----

function integerText(value, min, max, what) {
  let big;
  if (typeof value === 'bigint') big = value;
  else if (typeof value === 'number' && Number.isSafeInteger(value)) big = BigInt(value);
  else if (typeof value === 'string' && /^[+-]?\d+$/.test(value)) big = BigInt(value);
  else throw new TypeError(`${what} must be an integer, got ${describe(value)}`);
  if (big < min || big > max) throw new RangeError(`${what} out of range: ${big}`);
  return big.toString();
}

function describe(value) {
  if (typeof value === 'string') return JSON.stringify(value);
  if (typeof value === 'number' || typeof value === 'bigint' || typeof value === 'boolean') return `${typeof value} ${value}`;
  return value === null ? 'null' : typeof value;
}

// The clip size's second parameter is an options object; a bare track number there would
// otherwise be read as no options and send track -1.
function clipSizeOptions(options) {
  if (options === undefined) return {};
  if (options === null || typeof options !== 'object' || Array.isArray(options)) {
    throw new TypeError(`options must be an object { end, track }, got ${describe(options)}`);
  }
  const unknown = Object.keys(options).filter((key) => key !== 'end' && key !== 'track');
  if (unknown.length) throw new TypeError(`options: unknown member ${unknown.join(', ')} (known: end, track)`);
  return options;
}

export const ticksText = (value, what = 'ticks') => integerText(value, INT64_MIN, INT64_MAX, what);
export const int32Text = (value, what = 'track') => integerText(value, INT32_MIN, INT32_MAX, what);

// The engine compares marker names after folding each UTF-16 unit outside ASCII to "_", so
// a name as the user sees it has to be folded the same way before it is sent.
export function foldMarkerName(name) {
  if (typeof name !== 'string') throw new TypeError(`name must be a string, got ${describe(name)}`);
  let folded = '';
  for (let i = 0; i < name.length; i++) {
    const unit = name.charCodeAt(i);
    folded += unit <= 0x7f ? name[i] : '_';
  }
  return folded;
}

export const commandText = {
  version: () => 'get.version',
  info: () => 'get.info',
  commands: () => 'get.commands',
  subscribe: () => 'vitals.subscribe',
  sequence: (timeline) =>
    timeline === undefined ? 'get.sequence' : `get.sequence:${int32Text(timeline, 'timeline')}`,
  angle: (ticks, track = -1) => `get.angle:${ticksText(ticks)}:${int32Text(track)}`,
  // The engine splits the name from the track at the last colon, so the track is always
  // written: a name holding a colon would otherwise lose its tail.
  angleAtMarker: (name, track = -1) => `get.angle.marker:${foldMarkerName(name)}:${int32Text(track)}`,
  clipSize: (ticks, options) => {
    const { end, track = -1 } = clipSizeOptions(options);
    return end === undefined
      ? `get.clipsize:${ticksText(ticks)}:${int32Text(track)}`
      : `get.clipsize:${ticksText(ticks)}:${ticksText(end, 'end')}:${int32Text(track)}`;
  },
  clipSizeAtMarker: (name, track = -1) =>
    `get.clipsize.marker:${foldMarkerName(name)}:${int32Text(track)}`,
  transitions: (start, end, track = -1) =>
    `get.transitions:${ticksText(start, 'start')}:${ticksText(end, 'end')}:${int32Text(track)}`,
  multicamAngle: (angle) => `multicam.angle:${int32Text(angle, 'angle')}`,
  exec: (category, command) => {
    if (typeof category !== 'string') throw new TypeError(`category must be a string, got ${describe(category)}`);
    if (category.includes(':')) throw new TypeError('a category cannot hold ":"');
    if (typeof command !== 'string' || !command) {
      throw new TypeError(`command must be a non-empty string, got ${describe(command)}`);
    }
    return `exec:${category}:${command}`;
  },
  dumpAngle: (ticks, track = -1) => `dump.angle:${ticksText(ticks)}:${int32Text(track)}`,
  tlscan: (from = 0, to = 0, budgetMs = 3000) =>
    `debug.tlscan:${ticksText(from, 'from')}:${ticksText(to, 'to')}:${ticksText(budgetMs, 'budget')}`,
};

export function utf8Length(text) {
  return new TextEncoder().encode(text).length;
}
