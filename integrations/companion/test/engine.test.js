// The module's logic against the real engine in the host simulator: connecting, the status
// through a wrong password and an engine that comes and goes, the camera action reaching the
// host, and the tally and transport buttons following what the editor reports.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { fileURLToPath } from 'node:url';
import { actionDefinitions } from '../src/actions.js';
import { feedbackDefinitions } from '../src/feedbacks.js';
import { Status } from '../src/link.js';
import { variableValues } from '../src/variables.js';
import { ENGINE_URL, RETRY_MS, Simulator, makeLink, sleep } from './support.js';

const PROJECT = fileURLToPath(new URL('./fixtures/project.json', import.meta.url));
// Another project, with a timeline 7 but no 9, as when the editor opens another project.
const OTHER_PROJECT = fileURLToPath(new URL('./fixtures/other-project.json', import.meta.url));
const PASSWORD = 'a panel secret ✓';
// The fixture's timeline 7 runs at 25 fps: camera 1 for its first 4 s, then camera 3.
const TICKS_PER_FRAME = 10160640000n;

// Over five retry intervals the link's connection makes no new attempt.
async function assertNoMoreAttempts(engine) {
  let attempts = 0;
  const off = engine.client.on('reconnecting', () => { attempts += 1; });
  await sleep(RETRY_MS * 5);
  off();
  assert.equal(attempts, 0, `${attempts} attempts after ${JSON.stringify(engine.status)}`);
  assert.equal(engine.client.connected, false);
}

describe('the module against the engine in the simulator', () => {
  let sim;
  const links = [];
  const link = (settings) => {
    const made = makeLink({ url: ENGINE_URL, ...settings });
    links.push(made);
    return made;
  };

  before(async () => { sim = await Simulator.start({ project: PROJECT }); });
  after(async () => {
    await Promise.all(links.map((made) => made.stop()));
    const end = await sim?.quit();
    assert.equal(end?.code, 0, `simulator exit ${JSON.stringify(end)}`);
    assert.equal(end.ledger?.balanced, true);
  });

  test('connects, identifies and reads the pinned timeline, without a password', async () => {
    const engine = link({ pinned: 9 });
    engine.start();
    assert.equal(engine.statuses[0].level, Status.Connecting);
    await engine.untilStatus(Status.Ok);
    const values = variableValues(engine.state);
    assert.equal(values.engine_version, '1.2.4');
    assert.deepEqual([values.timeline_id, values.fps, values.frame_size, values.drop_frame], [9, 29.97, '1280x720', false]);
    assert.deepEqual(engine.commands.map((command) => command.id),
      ['cmd.transport.play', 'cmd.marker.add', 'cmd.multicam.choosenocut.camera2']);
    await engine.until(() => engine.sequences.length === 2, 'the timelines for the settings');
  });

  test('with a password it connects; a wrong one is an authentication failure that is not retried', async () => {
    sim.writeSettings({ password: PASSWORD });
    try {
      const right = link({ password: PASSWORD });
      right.start();
      await right.untilStatus(Status.Ok);

      const wrong = link({ password: 'not the password' });
      wrong.start();
      await wrong.untilStatus(Status.AuthenticationFailure);
      await assertNoMoreAttempts(wrong);
      assert.equal(wrong.client.connected, false);

      // No password at all against an engine that asks one: refused by the module itself.
      const none = link({});
      none.start();
      await none.untilStatus(Status.AuthenticationFailure, /asks for a password/);
    } finally {
      sim.writeSettings({});
    }
  });

  test('a password set while connected refuses the reconnect, which is then not retried', async () => {
    const engine = link({});
    engine.start();
    await engine.untilStatus(Status.Ok);
    sim.writeSettings({ password: PASSWORD });
    try {
      await sim.command('detach');
      await sim.command('attach');
      await engine.untilStatus(Status.AuthenticationFailure, /asks for a password/);
      await assertNoMoreAttempts(engine);
    } finally {
      sim.writeSettings({});
    }
  });

  test('an engine absent at start is waited for; one that stops is waited for again', async () => {
    await sim.command('detach');
    let attached = false;
    try {
      const engine = link({ pinned: 7 });
      engine.start();
      await engine.untilStatus(Status.ConnectionFailure, /no engine at/);
      await sim.command('attach');
      attached = true;
      await engine.untilStatus(Status.Ok);

      await sim.command('timecode 00:00:05:00');
      await engine.until(() => engine.state.angleOnAir === 3, 'camera 3 on air');
      await sim.command('detach');
      attached = false;
      await engine.untilStatus(Status.ConnectionFailure, /lost the engine/);
      // A lost engine lights no camera.
      assert.equal(engine.state.angleOnAir, null);
      assert.equal(feedbackDefinitions(engine).tally.callback({ options: { angle: 3 } }), false);
      await sim.command('attach');
      attached = true;
      await engine.untilStatus(Status.Ok);
    } finally {
      if (!attached) await sim.command('attach');
    }
  });

  test('the camera and command actions reach the host', async () => {
    const engine = link({});
    engine.start();
    await engine.untilStatus(Status.Ok);
    const actions = actionDefinitions(engine, engine.lists());
    const from = sim.lines.length;
    const ran = (command) => sim.until((line) => sim.lines.indexOf(line) >= from && line.event === 'exec' && line.command === command,
      undefined, `the host to run ${command}`);

    await actions.set_angle.callback({ options: { angle: 5 } });
    const camera = await ran('cmd.multicam.choosenocut.camera5');
    assert.equal(camera.category, null);
    assert.equal(variableValues(engine.state).last_angle_set, 5);
    await assert.rejects(actions.set_angle.callback({ options: { angle: 17 } }), /17 is not 1 to 16/);

    assert.deepEqual(actions.run_command.options[0].choices.map((choice) => choice.id),
      ['cmd.transport.play', 'cmd.marker.add', 'cmd.multicam.choosenocut.camera2']);
    await actions.run_command.callback({ options: { command: 'cmd.marker.add' } });
    assert.equal((await ran('cmd.marker.add')).category, 'Markers');

    await actions.refresh_markers.callback({ options: {} });
    await actions.angle_at_marker.callback({ options: { marker: 'Question 2' } });
    const values = variableValues(engine.state);
    assert.deepEqual([values.marker_angle, values.marker_ticks], [3, '1016064000000']);
  });

  test('the tally follows the timecode typed into the simulator across a multicam cut', async () => {
    const engine = link({ pinned: 7 });
    engine.start();
    await engine.untilStatus(Status.Ok);
    const { tally } = feedbackDefinitions(engine);
    const lit = () => [1, 2, 3].filter((angle) => tally.callback({ options: { angle } }));

    await sim.command('timecode 00:00:02:00');
    await engine.until(() => engine.state.angleOnAir === 1, 'camera 1 on air');
    assert.deepEqual(lit(), [1]);
    await sim.command('timecode 00:00:05:10');
    await engine.until(() => engine.state.angleOnAir === 3, 'camera 3 on air');
    assert.deepEqual(lit(), [3]);
    const values = variableValues(engine.state);
    assert.equal(values.timecode, '00:00:05:10');
    assert.equal(values.ticks, String((5n * 25n + 10n) * TICKS_PER_FRAME));
    await sim.command('timecode 00:00:03:24');
    await engine.until(() => engine.state.angleOnAir === 1, 'camera 1 on air again');
    assert.deepEqual(lit(), [1]);
  });

  test('transport feedbacks follow play on and play off, from the state read at connect on', async () => {
    await sim.command('play on');
    const engine = link({});
    engine.start();
    await engine.untilStatus(Status.Ok);
    const { transport } = feedbackDefinitions(engine);
    const is = (state) => transport.callback({ options: { state } });
    assert.deepEqual([is('playing'), is('stopped')], [true, false]);

    await sim.command('play off');
    await engine.until(() => !engine.state.transport.playing, 'play off');
    assert.deepEqual([is('playing'), is('stopped')], [false, true]);
    await sim.command('play on');
    await engine.until(() => engine.state.transport.playing, 'play on');
    assert.deepEqual([is('playing'), is('stopped'), variableValues(engine.state).playing], [true, false, true]);
    await sim.command('pause on');
    await engine.until(() => engine.state.transport.paused, 'pause on');
    assert.deepEqual([is('playing'), is('paused')], [false, true]);
    await sim.command('pause off');
    await sim.command('play off');
  });

  test('a saved timeline id that the engine does not know falls back to its current timeline with a warning', async () => {
    const engine = link({ pinned: 4242 });
    engine.start();
    await engine.untilStatus(Status.Warning, /timeline 4242 is unknown/);
    assert.ok([7, 9].includes(engine.state.timelineID), `timeline ${engine.state.timelineID}`);
  });

  test('a pinned timeline that goes away with its project is a warning, and the panel follows the one left', async () => {
    const engine = link({ pinned: 9 });
    engine.start();
    await engine.untilStatus(Status.Ok);
    assert.equal(engine.state.timelineID, 9);
    try {
      await sim.command(`load ${OTHER_PROJECT}`);
      await engine.untilStatus(Status.Warning, /timeline 9 is gone/);
      await engine.until(() => engine.state.timelineID === 7, 'timeline 7 shown');
      assert.equal(variableValues(engine.state).fps, 25);
    } finally {
      await sim.command(`load ${PROJECT}`);
    }
  });
});
