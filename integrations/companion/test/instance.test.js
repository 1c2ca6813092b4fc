// The Companion instance around the link, in a stand-in for Companion's side of the instance:
// what it defines at start, the status it reports for bad settings and for no engine, and
// that every variable it sets has a definition (Companion drops values it cannot place).
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { createServer } from 'node:net';
import ZylEngineInstance from '../src/main.js';

function companion() {
  const calls = { status: [], variables: {}, definitions: null, actions: null, feedbacks: null, presets: null };
  const context = {
    _isInstanceContext: true,
    id: 'test-connection',
    label: 'zyl',
    upgradeScripts: [],
    updateStatus: (level, message) => calls.status.push({ level, message }),
    setVariableDefinitions: (definitions) => { calls.definitions = definitions; },
    setVariableValues: (values) => Object.assign(calls.variables, values),
    setActionDefinitions: (actions) => { calls.actions = actions; },
    setFeedbackDefinitions: (feedbacks) => { calls.feedbacks = feedbacks; },
    setPresetDefinitions: (structure, presets) => { calls.presets = { structure, presets }; },
    checkAllFeedbacks: () => {},
    saveConfig: () => {},
  };
  return { instance: new ZylEngineInstance(context), calls };
}

// A port where nothing listens: taken, then freed.
async function freePort() {
  const server = createServer();
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  const { port } = server.address();
  await new Promise((resolve) => server.close(resolve));
  return port;
}

async function until(check, what) {
  const deadline = Date.now() + 20000;
  while (!check()) {
    if (Date.now() > deadline) throw new Error(`timed out waiting for ${what}`);
    await new Promise((resolve) => setTimeout(resolve, 20));
  }
}

test('at start every definition is given, every variable set is defined, and no engine is a failure', async () => {
  const { instance, calls } = companion();
  await instance.init({ url: `ws://127.0.0.1:${await freePort()}`, retrySeconds: 1, timeline: 'current' }, true, {});
  try {
    assert.deepEqual(calls.status[0].level, 'connecting');
    assert.deepEqual(Object.keys(calls.actions).sort(), ['angle_at_marker', 'refresh_markers', 'run_command', 'set_angle']);
    assert.deepEqual(Object.keys(calls.feedbacks).sort(), ['audio_peak', 'solo', 'tally', 'transport']);
    assert.equal(calls.presets.structure.length, 3);
    const undefinedIds = Object.keys(calls.variables).filter((id) => !(id in calls.definitions));
    assert.deepEqual(undefinedIds, []);
    assert.equal(Object.keys(calls.variables).length, Object.keys(calls.definitions).length);
    await until(() => calls.status.at(-1).level === 'connection_failure', 'a connection failure');
    assert.match(calls.status.at(-1).message, /no engine at/);
    assert.equal(instance.getConfigFields().find((field) => field.id === 'password').type, 'secret-text');
  } finally {
    await instance.destroy();
  }
});

test('settings that cannot work are a configuration fault, and saving good ones starts again', async () => {
  const { instance, calls } = companion();
  await instance.init({ url: 'http://127.0.0.1:7890', retrySeconds: 1 }, true, {});
  try {
    assert.deepEqual(calls.status.at(-1), { level: 'bad_config', message: 'the address http://127.0.0.1:7890 is not a ws:// address' });
    await instance.configUpdated({ url: `ws://127.0.0.1:${await freePort()}`, retrySeconds: 1 }, {});
    assert.equal(calls.status.at(-1).level, 'connecting');
  } finally {
    await instance.destroy();
  }
});
