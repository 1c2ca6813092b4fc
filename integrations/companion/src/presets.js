// Ready-made buttons: sixteen cameras that light red while on air, transport tiles that light
// with the transport's state, and tiles for the timecode and the audio peak. `label` is the
// connection's name in Companion, which variable references need.
import { ANGLES } from './actions.js';
import { STYLE, TRANSPORT_STATES } from './feedbacks.js';

const BLACK = 0x000000;
const DARK = 0x202020;

const TRANSPORT_TILES = [
  { state: 'playing', text: 'PLAY', bgcolor: STYLE.GREEN },
  { state: 'paused', text: 'PAUSE', bgcolor: STYLE.AMBER },
  { state: 'recording', text: 'REC', bgcolor: STYLE.RED },
  { state: 'stopped', text: 'STOP', bgcolor: STYLE.RED },
  { state: 'rewind', text: 'REW', bgcolor: STYLE.GREEN },
  { state: 'fastForward', text: 'FFWD', bgcolor: STYLE.GREEN },
];

export function presetDefinitions(label) {
  const presets = {};
  for (const angle of ANGLES) {
    presets[`camera_${angle}`] = {
      type: 'simple',
      name: `Camera ${angle}, red while on air`,
      keywords: ['multicam', 'angle', 'tally'],
      style: { text: `CAM ${angle}`, size: '24', color: STYLE.WHITE, bgcolor: BLACK },
      steps: [{ down: [{ actionId: 'set_angle', options: { angle } }], up: [] }],
      feedbacks: [{ feedbackId: 'tally', options: { angle }, style: { bgcolor: STYLE.RED, color: STYLE.WHITE } }],
    };
  }
  for (const tile of TRANSPORT_TILES) {
    const name = TRANSPORT_STATES.find((state) => state.id === tile.state).label;
    // The editor decides its transport commands' ids: the user picks one from its list.
    presets[`transport_${tile.state}`] = {
      type: 'simple',
      name: `${name}: lit while so; pick the editor's command to press`,
      keywords: ['transport'],
      style: { text: tile.text, size: '18', color: STYLE.WHITE, bgcolor: DARK },
      steps: [{
        down: [{ actionId: 'run_command', options: { command: '' }, headline: 'pick the editor\'s command' }],
        up: [],
      }],
      feedbacks: [{ feedbackId: 'transport', options: { state: tile.state }, style: { bgcolor: tile.bgcolor, color: STYLE.WHITE } }],
    };
  }
  presets.timecode = {
    type: 'simple',
    name: 'Timecode at the playhead',
    keywords: ['timecode', 'playhead'],
    style: { text: `$(${label}:timecode)`, size: '14', color: STYLE.WHITE, bgcolor: BLACK },
    steps: [{ down: [], up: [] }],
    feedbacks: [],
  };
  presets.audio_peak = {
    type: 'simple',
    name: 'Audio peak',
    keywords: ['audio', 'meter', 'peak'],
    style: { text: `PEAK\\n$(${label}:audio_peak) dB`, size: '14', color: STYLE.WHITE, bgcolor: BLACK },
    steps: [{ down: [], up: [] }],
    feedbacks: [],
  };
  const structure = [
    { id: 'cameras', name: 'Cameras', definitions: ANGLES.map((angle) => `camera_${angle}`) },
    { id: 'transport', name: 'Transport', definitions: TRANSPORT_TILES.map((tile) => `transport_${tile.state}`) },
    { id: 'status', name: 'Timecode and audio', definitions: ['timecode', 'audio_peak'] },
  ];
  return { structure, presets };
}
