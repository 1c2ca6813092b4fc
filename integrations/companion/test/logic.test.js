// The module's own rules, without an engine: what its settings mean, how it mirrors the
// engine's transport state, how values become variables, and that its presets use only
// actions and feedbacks that exist.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { InstanceStatus } from '@companion-module/base';
import { actionDefinitions } from '../src/actions.js';
import { readConfig } from '../src/config.js';
import { feedbackDefinitions } from '../src/feedbacks.js';
import { Status } from '../src/link.js';
import { presetDefinitions } from '../src/presets.js';
import { applyTransportEvent, applyTransportRecord, applyVitals, initialState, transportIs } from '../src/state.js';
import { variableValues } from '../src/variables.js';

test('the link reports only status levels that Companion knows', () => {
  for (const level of Object.values(Status)) assert.ok(Object.values(InstanceStatus).includes(level), level);
});

test('settings: a timeline id is pinned, "current" is not, and what cannot work is named', () => {
  assert.deepEqual(readConfig({}, {}), { url: 'ws://127.0.0.1:7890', password: undefined, retryMs: 2000, pinned: null });
  assert.deepEqual(readConfig({ url: ' ws://10.0.0.2:7890 ', retrySeconds: 5, timeline: '17' }, { password: 's' }),
    { url: 'ws://10.0.0.2:7890', password: 's', retryMs: 5000, pinned: 17 });
  // An empty secret is no password: the engine asks none when its own is empty.
  assert.equal(readConfig({}, { password: '' }).password, undefined);
  assert.match(readConfig({ url: 'http://127.0.0.1:7890' }).problem, /not a ws:\/\/ address/);
  assert.match(readConfig({ timeline: 'seventeen' }).problem, /not a timeline id/);
  assert.match(readConfig({ timeline: '2147483648' }).problem, /not a timeline id/);
  assert.match(readConfig({ retrySeconds: 0 }).problem, /1 to 60 seconds/);
});

test('transport: a pause or a stop ends play, as in the engine; stopped is nothing moving', () => {
  let state = applyTransportRecord(initialState(), { playing: true, paused: false, recording: false, rewind: false, fastForward: false, timecode: null });
  assert.equal(transportIs(state, 'stopped'), false);
  state = applyTransportEvent(state, { type: 'pause', on: true });
  assert.deepEqual([transportIs(state, 'playing'), transportIs(state, 'paused')], [false, true]);
  state = applyTransportEvent(state, { type: 'pause', on: false });
  assert.equal(transportIs(state, 'stopped'), true);
  state = applyTransportEvent(state, { type: 'play', on: true });
  state = applyTransportEvent(state, { type: 'stop', on: false });
  assert.equal(transportIs(state, 'playing'), true, 'releasing stop changes nothing');
  state = applyTransportEvent(state, { type: 'stop', on: true });
  assert.equal(transportIs(state, 'playing'), false);
  state = applyTransportEvent(state, { type: 'ffwd', on: true });
  assert.deepEqual([transportIs(state, 'fastForward'), transportIs(state, 'stopped')], [true, false]);
});

test('variables: ticks past 2^53 stay exact, and unknown values are empty, not -1 or -999', () => {
  const ticks = 2n ** 53n + 1n;
  let state = { ...initialState(), ticks, markerTicks: ticks };
  state = applyVitals(state, { speed: null, timecode: '', cuts: -1, tracks: -1, audioPeakDb: -999, soloActive: false });
  const values = variableValues(state);
  assert.deepEqual([values.ticks, values.marker_ticks], ['9007199254740993', '9007199254740993']);
  assert.deepEqual([values.cuts, values.tracks, values.audio_peak, values.speed, values.timecode, values.markers],
    ['', '', '', '', '', '']);
  const known = variableValues(applyVitals(state, { speed: 1, timecode: '01:00:00:00', cuts: 0, tracks: 4, audioPeakDb: -6.25 }));
  assert.deepEqual([known.cuts, known.tracks, known.audio_peak, known.speed, known.timecode], [0, 4, '-6.3', 1, '01:00:00:00']);
  // The empty text of a record with no new timecode keeps the one shown.
  assert.equal(variableValues(applyVitals({ ...state, timecode: '00:00:01:00' }, { timecode: '' })).timecode, '00:00:01:00');
});

test('presets: sixteen cameras lit red by their own tally, every action and feedback defined', () => {
  const link = { state: initialState() };
  const actions = actionDefinitions(link);
  const feedbacks = feedbackDefinitions(link);
  const { structure, presets } = presetDefinitions('zyl');
  for (const section of structure) {
    for (const id of section.definitions) assert.ok(presets[id], `${section.id} lists ${id}, which is not defined`);
  }
  for (const [id, preset] of Object.entries(presets)) {
    for (const step of preset.steps) {
      for (const action of [...step.down, ...step.up]) assert.ok(actions[action.actionId], `${id}: ${action.actionId}`);
    }
    for (const feedback of preset.feedbacks) assert.ok(feedbacks[feedback.feedbackId], `${id}: ${feedback.feedbackId}`);
  }
  const cameras = structure.find((section) => section.id === 'cameras').definitions.map((id) => presets[id]);
  assert.equal(cameras.length, 16);
  cameras.forEach((preset, index) => {
    assert.deepEqual(preset.steps[0].down, [{ actionId: 'set_angle', options: { angle: index + 1 } }]);
    assert.deepEqual(preset.feedbacks.map((feedback) => [feedback.feedbackId, feedback.options.angle, feedback.style.bgcolor]),
      [['tally', index + 1, 0xcc0000]]);
  });
  assert.match(presets.timecode.style.text, /\$\(zyl:timecode\)/);
});
