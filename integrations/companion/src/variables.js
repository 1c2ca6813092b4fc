// The module's variables: their names, and their values read from the panel state. A value
// the engine cannot give is an empty text, so a button shows nothing rather than "null".
// Ticks pass 2^53 after ten hours, so they are always texts.
import { audioPeak } from './state.js';

export const VARIABLES = {
  engine_version: 'Engine version',
  timecode: 'Timecode at the playhead',
  ticks: 'Playhead position in ticks',
  playing: 'Playing',
  paused: 'Paused',
  recording: 'Recording',
  speed: 'Speed (timecode seconds per second)',
  timeline_id: 'Timeline id',
  fps: 'Frames per second',
  frame_size: 'Frame size (width x height)',
  drop_frame: 'Drop-frame timecode',
  audio_peak: 'Audio peak (dB)',
  cuts: 'Cuts in the sequence on screen',
  tracks: 'Tracks',
  markers: 'Markers on the timeline',
  angle_on_air: 'Camera on air',
  last_angle_set: 'Last camera set from the panel',
  marker_angle: 'Camera at the marker looked up last',
  marker_ticks: 'Time of the marker looked up last, in ticks',
};

export function variableDefinitions() {
  return Object.fromEntries(Object.entries(VARIABLES).map(([id, name]) => [id, { name }]));
}

const text = (value) => (value === null || value === undefined ? '' : value);
const ticksText = (value) => (value === null || value === undefined ? '' : String(value));
// The engine writes -1 for a count it does not know.
const count = (value) => (typeof value === 'number' && value >= 0 ? value : '');

export function variableValues(state) {
  const { sequence, vitals, transport } = state;
  const peak = audioPeak(state);
  return {
    engine_version: text(state.engineVersion),
    timecode: text(state.timecode),
    ticks: ticksText(state.ticks),
    playing: transport.playing,
    paused: transport.paused,
    recording: transport.recording,
    speed: text(vitals?.speed),
    timeline_id: text(state.timelineID),
    fps: text(sequence?.fps),
    frame_size: sequence?.width != null && sequence?.height != null ? `${sequence.width}x${sequence.height}` : '',
    drop_frame: text(sequence?.dropFrame),
    audio_peak: peak === null ? '' : peak.toFixed(1),
    cuts: count(vitals?.cuts),
    tracks: count(vitals?.tracks),
    markers: state.markers ? state.markers.length : '',
    angle_on_air: text(state.angleOnAir),
    last_angle_set: text(state.lastAngleSet),
    marker_angle: text(state.markerAngle),
    marker_ticks: ticksText(state.markerTicks),
  };
}

// Only what changed since `before`, so that Companion redraws no more than it must.
export function changedValues(before, after) {
  const changed = {};
  for (const [id, value] of Object.entries(after)) {
    if (!before || before[id] !== value) changed[id] = value;
  }
  return changed;
}
