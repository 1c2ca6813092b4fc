// The module's connection to the engine: the structured protocol through the JavaScript
// client, retried at the configured interval from the very first attempt, with a status that
// says what is going on, and the panel state kept from what the engine pushes. It knows
// nothing of Companion: the instance hands it settings and listens to it.
import { ZylAuthenticationError, ZylClient, ZylRequestError } from 'zyl-engine-client';
import {
  applyMarkers, applyPlayhead, applySequence, applyTransportEvent, applyTransportRecord, applyVitals,
  initialState,
} from './state.js';

// Companion's status levels, by the values it defines for them.
export const Status = {
  Ok: 'ok',
  Connecting: 'connecting',
  Disconnected: 'disconnected',
  ConnectionFailure: 'connection_failure',
  BadConfig: 'bad_config',
  Warning: 'unknown_warning',
  AuthenticationFailure: 'authentication_failure',
};

const AUTHENTICATION_FAILED = 4004;
const UNSUPPORTED_PROTOCOL = 4005;
// Held from the opening, so no transport change is missed; every engine that speaks the
// structured protocol has them.
const OPENING_TOPICS = ['transport', 'vitals'];
// Live state for panels; an engine without it refuses the whole list.
const LIVE_TOPICS = ['marker', 'playhead', 'sequence'];
const REQUEST_TIMEOUT_MS = 10000;
// A marker edit often comes as several events at once: one markers.list for them all.
const MARKER_REFRESH_MS = 250;
// How long the check for an engine that does not speak the structured protocol may take.
const PROBE_MS = 3000;

export class EngineLink {
  // settings: what readConfig gives. onStatus(level, message), onState(state),
  // onLists({ commands, markers, sequences }) when a list the actions offer changes.
  constructor({ settings, onStatus = () => {}, onState = () => {}, onLists = () => {}, log = () => {}, WebSocket }) {
    this.settings = settings;
    this.onStatus = onStatus;
    this.onState = onState;
    this.onLists = onLists;
    this.log = log;
    this.WebSocket = WebSocket ?? globalThis.WebSocket;
    this.state = initialState();
    this.commands = [];
    this.sequences = [];
    this.client = null;
    this.halted = false;
    this.pinned = null;
    this.markerTimer = null;
    this.status = { level: null, message: null };
  }

  start() {
    const { url, password, retryMs } = this.settings;
    this.halted = false;
    this.setStatus(Status.Connecting, `connecting to ${url}`);
    let client;
    try {
      client = new ZylClient({
        url,
        password,
        protocol: 2,
        subscriptions: OPENING_TOPICS,
        retryFirstConnect: true,
        backoff: { initialMs: retryMs, maxMs: retryMs, factor: 1, jitter: 0 },
        timeoutMs: REQUEST_TIMEOUT_MS,
        WebSocket: this.WebSocket,
      });
    } catch (error) {
      this.setStatus(Status.BadConfig, error.message);
      return;
    }
    this.client = client;
    client.on('open', () => this.identified(client));
    client.on('close', (info) => this.closed(client, info));
    client.on('error', (error) => {
      if (error instanceof ZylAuthenticationError) this.refused(client, error.message);
      else this.log('debug', `engine connection: ${error.message}`);
    });
    client.on('transport', (data) => this.update(applyTransportEvent(this.state, data)));
    client.on('vitals', (data) => this.update(applyVitals(this.state, data)));
    client.on('playhead', (data) => this.update(applyPlayhead(this.state, data)));
    client.on('sequence', (data) => this.sequenceChanged(data));
    client.on('marker', () => {
      clearTimeout(this.markerTimer);
      this.markerTimer = setTimeout(() => this.refreshMarkers().catch((error) => this.log('warn', error.message)), MARKER_REFRESH_MS);
    });
    client.connect().catch((error) => {
      if (this.client !== client || this.halted) return;
      if (error instanceof ZylAuthenticationError) this.refused(client, error.message);
      else if (error.closeCode === UNSUPPORTED_PROTOCOL) this.noProtocol(client, error.message);
      else this.setStatus(Status.ConnectionFailure, error.message);
    });
  }

  async stop() {
    this.halted = true;
    clearTimeout(this.markerTimer);
    const client = this.client;
    this.client = null;
    await client?.close();
  }

  setStatus(level, message = null) {
    if (this.status.level === level && this.status.message === message) return;
    this.status = { level, message };
    this.onStatus(level, message);
  }

  update(state) {
    if (state === this.state) return;
    this.state = state;
    this.onState(state);
  }

  // Retrying cannot mend a refused password: stop until the settings change.
  refused(client, message) {
    if (this.client !== client) return;
    this.halted = true;
    this.setStatus(Status.AuthenticationFailure, `${message}; fix the password, then save the settings`);
    client.close();
  }

  noProtocol(client, message) {
    if (this.client !== client) return;
    this.halted = true;
    this.setStatus(Status.Warning, `the engine does not admit protocol 2 (${message}); update the engine, then save the settings`);
    client.close();
  }

  closed(client, { code, reason, wasOpen }) {
    if (this.client !== client || this.halted) return;
    if (code === AUTHENTICATION_FAILED) {
      this.refused(client, `the engine refused the password (${reason || code})`);
      return;
    }
    if (code === UNSUPPORTED_PROTOCOL) {
      this.noProtocol(client, reason || String(code));
      return;
    }
    const seconds = this.settings.retryMs / 1000;
    // Nothing shown may outlive the connection it came from: no tally from a lost engine.
    this.update({
      ...initialState(),
      lastAngleSet: this.state.lastAngleSet,
      markerAngle: this.state.markerAngle,
      markerTicks: this.state.markerTicks,
    });
    if (wasOpen) {
      this.setStatus(Status.ConnectionFailure, `lost the engine (${code}${reason ? `: ${reason}` : ''}); retrying every ${seconds} s`);
      return;
    }
    this.probe(client).then((answers) => {
      if (this.client !== client || this.halted || client.connected) return;
      if (answers) {
        this.setStatus(Status.Warning, `something answers at ${this.settings.url} but does not admit protocol 2 (an older engine?); retrying every ${seconds} s`);
      } else {
        this.setStatus(Status.ConnectionFailure, `no engine at ${this.settings.url} (is the editor running?); retrying every ${seconds} s`);
      }
    });
  }

  // A structured-protocol handshake fails the same way whether nothing listens or a server
  // that does not offer the protocol answers; a plain WebSocket handshake tells them apart.
  probe() {
    return new Promise((resolve) => {
      let socket;
      try {
        socket = new this.WebSocket(this.settings.url);
      } catch {
        resolve(false);
        return;
      }
      let settled = false;
      // Once only: closing a socket that failed makes it report its failure again.
      const done = (answers) => {
        if (settled) return;
        settled = true;
        clearTimeout(timer);
        resolve(answers);
        socket.close();
      };
      const timer = setTimeout(() => done(false), PROBE_MS);
      socket.addEventListener('open', () => done(true));
      socket.addEventListener('error', () => done(false));
      socket.addEventListener('close', () => done(false));
    });
  }

  // Once identified: the pin, the live topics, then everything the panel shows, in one batch.
  async identified(client) {
    const { pinned } = this.settings;
    let warning = null;
    try {
      this.pinned = null;
      if (pinned !== null) {
        try {
          await client.request('timeline.pin', { timeline: pinned });
          this.pinned = pinned;
        } catch (error) {
          if (!(error instanceof ZylRequestError)) throw error;
          warning = error.code === 'not_found'
            ? `timeline ${pinned} is unknown to the engine (timeline ids last one run of the editor); showing the engine's current timeline`
            : `this engine cannot pin a timeline (${error.message}); showing its current timeline`;
        }
      }
      try {
        await client.subscribe(LIVE_TOPICS);
      } catch (error) {
        if (!(error instanceof ZylRequestError)) throw error;
        await client.subscribe(['marker']);
        warning ??= `this engine gives no playhead (${error.message}): no tally`;
      }
      const [version, transport, sequence, playhead, vitals, markers, commands] = await client.batch([
        { method: 'version' },
        { method: 'transport.get' },
        { method: 'sequence.get' },
        { method: 'playhead.get' },
        { method: 'vitals.get' },
        { method: 'markers.list' },
        { method: 'commands.list' },
      ]);
      if (this.client !== client) return;
      let state = { ...this.state, engineVersion: version.ok ? version.result.version : null };
      if (transport.ok) state = applyTransportRecord(state, transport.result);
      if (sequence.ok) state = applySequence(state, sequence.result);
      if (playhead.ok) state = applyPlayhead(state, playhead.result);
      if (vitals.ok) state = applyVitals(state, vitals.result);
      if (markers.ok) state = applyMarkers(state, markers.result);
      this.update(state);
      if (commands.ok) this.commands = commands.result.commands;
      this.onLists(this.lists());
      this.setStatus(warning ? Status.Warning : Status.Ok, warning ?? `connected to ZYL Engine ${state.engineVersion ?? ''}`.trim());
      // The engine may scan for timelines to answer this: after the status, not before.
      const sequences = await client.request('sequences.list');
      this.sequences = sequences.sequences;
      this.onLists(this.lists());
    } catch (error) {
      // A connection lost meanwhile is the close handler's to report.
      if (this.client === client && client.connected) {
        this.setStatus(Status.Warning, `connected, but reading the engine's state failed: ${error.message}`);
      }
    }
  }

  // A pin the host no longer knows is dropped by the engine, whose next push names the
  // timeline it falls back to.
  sequenceChanged(record) {
    if (this.pinned !== null && record?.timelineID !== this.pinned) {
      this.setStatus(Status.Warning, `timeline ${this.pinned} is gone (another project?); showing timeline ${record?.timelineID}`);
      this.pinned = null;
    }
    this.update(applySequence(this.state, record));
  }

  lists() {
    return { commands: this.commands, markers: this.state.markers ?? [], sequences: this.sequences };
  }

  // ---- what the actions do ----

  requireClient() {
    if (!this.client?.connected) throw new Error('not connected to the engine');
    return this.client;
  }

  async setAngle(angle) {
    const result = await this.requireClient().request('multicam.setAngle', { angle });
    this.update({ ...this.state, lastAngleSet: result.angle });
    return result.angle;
  }

  // A command picked from the list runs with its category; one typed in runs by id alone.
  async runCommand(id) {
    const listed = this.commands.find((command) => command.id === id);
    const params = listed ? { command: id, category: listed.category } : { command: id };
    return this.requireClient().request('commands.run', params);
  }

  async refreshMarkers() {
    const result = await this.requireClient().request('markers.list');
    this.update(applyMarkers(this.state, result));
    this.onLists(this.lists());
    return this.state.markers;
  }

  async angleAtMarker(name) {
    const result = await this.requireClient().request('angle.atMarker', { name });
    this.update({ ...this.state, markerAngle: result.angle, markerTicks: result.marker?.ticks ?? null });
    return result;
  }
}
