// The feedbacks: the camera on air (tally), the transport, solo, and the audio peak.
import { audioPeak, transportIs } from './state.js';

const RED = 0xcc0000;
const GREEN = 0x008800;
const AMBER = 0xb36b00;
const WHITE = 0xffffff;

export const TRANSPORT_STATES = [
  { id: 'playing', label: 'Playing' },
  { id: 'paused', label: 'Paused' },
  { id: 'recording', label: 'Recording' },
  { id: 'rewind', label: 'Rewinding' },
  { id: 'fastForward', label: 'Fast-forwarding' },
  { id: 'stopped', label: 'Stopped (none of the above)' },
];

export const STYLE = { RED, GREEN, AMBER, WHITE };

export function feedbackDefinitions(link) {
  return {
    tally: {
      type: 'boolean',
      name: 'Camera on air (tally)',
      description: 'The multicam angle under the editor\'s playhead',
      defaultStyle: { bgcolor: RED, color: WHITE },
      options: [{ type: 'number', id: 'angle', label: 'Camera', default: 1, min: 1, max: 16, asInteger: true }],
      callback: ({ options }) => onAir(link.state, options.angle),
    },
    transport: {
      type: 'boolean',
      name: 'Transport state',
      defaultStyle: { bgcolor: GREEN, color: WHITE },
      options: [{ type: 'dropdown', id: 'state', label: 'State', default: 'playing', choices: TRANSPORT_STATES }],
      callback: ({ options }) => transportIs(link.state, options.state),
    },
    solo: {
      type: 'boolean',
      name: 'A track is soloed',
      defaultStyle: { bgcolor: AMBER, color: WHITE },
      options: [],
      callback: () => link.state.vitals?.soloActive === true,
    },
    audio_peak: {
      type: 'value',
      name: 'Audio peak (dB)',
      description: 'The loudest channel\'s peak while playing; null when the engine has none',
      options: [],
      callback: () => audioPeak(link.state),
    },
  };
}

export function onAir(state, angle) {
  return state.angleOnAir !== null && state.angleOnAir === Number(angle);
}
