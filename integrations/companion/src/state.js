// What the panel shows, kept as one plain record and changed only by the functions below,
// each taking the engine's message as it came over the wire. Nothing here talks to the
// engine or to Companion.

export function initialState() {
  return {
    engineVersion: null,
    transport: { playing: false, paused: false, recording: false, rewind: false, fastForward: false },
    timecode: null,
    ticks: null,
    angleOnAir: null,
    timelineID: null,
    sequence: null,
    vitals: null,
    markers: null,
    lastAngleSet: null,
    markerAngle: null,
    markerTicks: null,
  };
}

const TRANSPORT_MEMBER = {
  play: 'playing',
  pause: 'paused',
  record: 'recording',
  rewind: 'rewind',
  ffwd: 'fastForward',
};

// transport.get's result.
export function applyTransportRecord(state, record) {
  const transport = {};
  for (const member of Object.keys(state.transport)) transport[member] = record?.[member] === true;
  return { ...state, transport, timecode: record?.timecode?.text ?? state.timecode };
}

// A transport event, { type, on }. The engine keeps its transport state the same way: a stop
// or a pause ends play, and the stop button itself is no state of its own.
export function applyTransportEvent(state, { type, on } = {}) {
  if (typeof on !== 'boolean') return state;
  const transport = { ...state.transport };
  if (type === 'stop') {
    if (on) transport.playing = false;
  } else if (TRANSPORT_MEMBER[type]) {
    transport[TRANSPORT_MEMBER[type]] = on;
    if (type === 'pause' && on) transport.playing = false;
  } else {
    return state;
  }
  return { ...state, transport };
}

// playhead.get's result or a push of the playhead topic.
export function applyPlayhead(state, record) {
  if (!record) return state;
  return {
    ...state,
    timecode: record.timecode ?? state.timecode,
    ticks: record.ticks ?? null,
    angleOnAir: record.angle ?? null,
    timelineID: record.timelineID ?? state.timelineID,
  };
}

// sequence.get's result or a push of the sequence topic.
export function applySequence(state, record) {
  if (!record) return state;
  return { ...state, sequence: record, timelineID: record.timelineID ?? state.timelineID };
}

// vitals.get's record, also what the vitals topic pushes. The transport buttons follow the
// transport events, which come at once, not the record, which comes once a second.
export function applyVitals(state, record) {
  if (!record) return state;
  // An empty text is the engine's "no timecode yet"; a timecode seen before stays.
  const timecode = typeof record.timecode === 'string' && record.timecode !== '' ? record.timecode : state.timecode;
  return { ...state, vitals: record, timecode };
}

// markers.list's result.
export function applyMarkers(state, result) {
  return { ...state, markers: Array.isArray(result?.markers) ? result.markers : [] };
}

// What a feedback asks: is this transport state on now? `stopped` is none of the moving ones.
export function transportIs(state, which) {
  const { playing, paused, recording, rewind, fastForward } = state.transport;
  if (which === 'stopped') return !playing && !paused && !recording && !rewind && !fastForward;
  return state.transport[which] === true;
}

// The audio peak in dB, or null when the engine has none (it sends -999 for silence unknown).
export function audioPeak(state) {
  const peak = state.vitals?.audioPeakDb;
  return typeof peak === 'number' && peak > -999 ? peak : null;
}
