// A connection to the engine: one request queue that pairs replies with requests in send
// order (the engine answers each message completely before it reads the next), pushes
// routed to listeners, and a reconnect loop with exponential backoff.
import {
  MAX_MESSAGE_BYTES, DUMP_END, ZylProtocolError, ZylReplyError, classifyCommand, commandText,
  isPush, parseEvent, parseReply, parseVitals, replyFamily, summarizeDump, utf8Length,
} from './protocol.mjs';

export const DEFAULT_URL = 'ws://127.0.0.1:7890';

export class ZylConnectionError extends Error {
  constructor(message) {
    super(message);
    this.name = 'ZylConnectionError';
  }
}

export class ZylTimeoutError extends Error {
  constructor(request, ms) {
    super(`${request}: no reply within ${ms} ms`);
    this.name = 'ZylTimeoutError';
    this.request = request;
  }
}

const OPEN = 1;

export class ZylClient {
  // options:
  //   url            ws://127.0.0.1:7890 by default
  //   WebSocket      constructor to use; the global one when absent (Node 20 needs
  //                  --experimental-websocket, or pass the `ws` package's class)
  //   timeoutMs      per request; a timeline scan can hold a reply for several seconds
  //   reconnect      reopen after an unexpected close (default true)
  //   backoff        { initialMs, maxMs, factor, jitter }
  constructor(options = {}) {
    this.url = options.url ?? DEFAULT_URL;
    this.WebSocket = options.WebSocket ?? globalThis.WebSocket;
    if (typeof this.WebSocket !== 'function') {
      throw new ZylConnectionError(
        'no WebSocket: pass one in options.WebSocket, or run Node with --experimental-websocket',
      );
    }
    this.timeoutMs = options.timeoutMs ?? 30000;
    this.reconnect = options.reconnect ?? true;
    this.backoff = { initialMs: 250, maxMs: 10000, factor: 2, jitter: 0.2, ...options.backoff };
    this.socket = null;
    this.pending = [];
    this.listeners = new Map();
    this.subscribed = false;
    this.closedByUser = false;
    this.attempt = 0;
    this.retryTimer = null;
  }

  // ---- events: 'open', 'close', 'reconnecting', 'vitals', 'event', 'frame', 'sent',
  //      'unexpected', 'error' ----

  on(type, listener) {
    if (!this.listeners.has(type)) this.listeners.set(type, new Set());
    this.listeners.get(type).add(listener);
    return () => this.listeners.get(type).delete(listener);
  }

  emit(type, ...args) {
    for (const listener of this.listeners.get(type) ?? []) {
      try {
        listener(...args);
      } catch (error) {
        if (type !== 'error') this.emit('error', error);
      }
    }
  }

  get connected() {
    return this.socket?.readyState === OPEN;
  }

  // Resolves at the first open; rejects when that first attempt fails (later attempts
  // belong to the reconnect loop).
  connect() {
    if (this.socket) return this.connected ? Promise.resolve() : Promise.reject(new ZylConnectionError('already connecting'));
    this.closedByUser = false;
    clearTimeout(this.retryTimer);
    return new Promise((resolve, reject) => this.open(resolve, reject));
  }

  open(resolve, reject) {
    let socket;
    try {
      socket = new this.WebSocket(this.url);
    } catch (error) {
      // A malformed address will not get better by trying again.
      this.emit('error', error);
      reject?.(error);
      return;
    }
    this.socket = socket;
    socket.binaryType = 'arraybuffer';
    let opened = false;
    socket.addEventListener('open', () => {
      opened = true;
      this.attempt = 0;
      // A subscription lives as long as its connection; renew it on the new one.
      if (this.subscribed) this.transmit(commandText.subscribe());
      this.emit('open');
      resolve?.();
    });
    socket.addEventListener('message', (event) => this.receive(event.data));
    const lost = (code, reason) => {
      if (this.socket !== socket) return;
      this.socket = null;
      this.failPending(new ZylConnectionError(`connection closed (${code})`));
      this.emit('close', { code, reason, wasOpen: opened });
      if (!opened) reject?.(new ZylConnectionError(`cannot connect to ${this.url}`));
      this.scheduleReconnect();
    };
    socket.addEventListener('close', (event) => lost(event.code, event.reason));
    // Some implementations (Node 20's) report a failed connect with an error and no close.
    socket.addEventListener('error', () => {
      if (!opened) lost(1006, 'connection failed');
    });
  }

  scheduleReconnect() {
    if (!this.reconnect || this.closedByUser) return;
    const { initialMs, maxMs, factor, jitter } = this.backoff;
    const base = Math.min(maxMs, initialMs * factor ** this.attempt);
    const delay = Math.round(base * (1 + jitter * (Math.random() * 2 - 1)));
    this.attempt += 1;
    this.emit('reconnecting', { attempt: this.attempt, delayMs: delay });
    this.retryTimer = setTimeout(() => this.open(), delay);
  }

  close() {
    this.closedByUser = true;
    clearTimeout(this.retryTimer);
    const socket = this.socket;
    if (!socket) return Promise.resolve();
    return new Promise((resolve) => {
      socket.addEventListener('close', () => resolve());
      socket.close(1000);
    });
  }

  failPending(error) {
    const pending = this.pending;
    this.pending = [];
    for (const entry of pending) {
      clearTimeout(entry.timer);
      if (!entry.abandoned) entry.reject(error);
    }
  }

  transmit(text) {
    this.socket.send(text);
    this.emit('sent', text);
  }

  // ---- receiving ----

  receive(data) {
    const text = typeof data === 'string' ? data : new TextDecoder().decode(data);
    this.emit('frame', text);
    if (isPush(text)) {
      this.deliverPush(text);
      return;
    }
    const entry = this.pending[0];
    if (!entry) {
      this.emit('unexpected', text);
      return;
    }
    let reply;
    try {
      reply = parseReply(text);
    } catch (error) {
      this.finish(entry, error);
      return;
    }
    if (replyFamily(reply.kind) !== entry.shape.kind) {
      // Not this request's answer: the pairing is lost, so say so instead of guessing.
      this.emit('unexpected', text);
      this.finish(entry, new ZylProtocolError(`${entry.text}: unexpected reply ${text}`, text));
      return;
    }
    this.collect(entry, reply);
  }

  deliverPush(text) {
    try {
      if (text.startsWith('vitals:')) this.emit('vitals', parseVitals(text), text);
      else this.emit('event', parseEvent(text), text);
    } catch (error) {
      this.emit('error', error);
    }
  }

  collect(entry, reply) {
    if (reply.error !== undefined) {
      this.finish(entry, new ZylReplyError(reply, entry.text));
      return;
    }
    switch (entry.shape.reply) {
      case 'one':
        this.finish(entry, null, reply);
        return;
      case 'commands':
        if (reply.kind === 'command') {
          entry.frames.push(reply);
          return;
        }
        this.finish(entry, null, {
          kind: 'commands',
          count: reply.count,
          commands: entry.frames.map((frame) => frame.fields),
          frames: [...entry.frames.map((frame) => frame.text), reply.text],
        });
        return;
      case 'dump':
        entry.frames.push(reply);
        if (reply.line !== DUMP_END) return;
        this.finish(entry, null, {
          kind: 'dump',
          ...summarizeDump(entry.frames.map((frame) => frame.line)),
          frames: entry.frames.map((frame) => frame.text),
        });
        return;
      default:
        this.finish(entry, new ZylProtocolError(`no reply expected for ${entry.text}`));
    }
  }

  finish(entry, error, result) {
    this.pending.shift();
    clearTimeout(entry.timer);
    if (entry.abandoned) return;
    if (error) entry.reject(error);
    else entry.resolve(result);
  }

  // ---- sending ----

  // Sends any command text. Resolves with the parsed reply, or with { kind: 'none' } once
  // sent when the engine answers nothing (a subscription, or text that goes to the host).
  send(text) {
    if (typeof text !== 'string' || text === '') {
      return Promise.reject(new TypeError('a command is a non-empty text'));
    }
    if (utf8Length(text) > MAX_MESSAGE_BYTES) {
      return Promise.reject(new RangeError(`a command is at most ${MAX_MESSAGE_BYTES} bytes`));
    }
    if (!this.connected) return Promise.reject(new ZylConnectionError('not connected'));
    const shape = classifyCommand(text);
    if (shape.reply === 'none') {
      if (shape.command === 'vitals.subscribe') this.subscribed = true;
      this.transmit(text);
      return Promise.resolve({ kind: 'none', command: shape.command, text });
    }
    return new Promise((resolve, reject) => {
      const entry = { text, shape, frames: [], resolve, reject, abandoned: false, timer: null };
      // A late reply still arrives in its place, so a timed-out request keeps its slot in
      // the queue to absorb it; only its caller is told.
      entry.timer = setTimeout(() => {
        entry.abandoned = true;
        reject(new ZylTimeoutError(text, this.timeoutMs));
      }, this.timeoutMs);
      this.pending.push(entry);
      this.transmit(text);
    });
  }

  getVersion() { return this.send(commandText.version()); }
  getInfo() { return this.send(commandText.info()); }
  getCommands() { return this.send(commandText.commands()); }
  getSequence(timeline) { return this.send(commandText.sequence(timeline)); }
  getAngle(ticks, track) { return this.send(commandText.angle(ticks, track)); }
  getAngleAtMarker(name, track) { return this.send(commandText.angleAtMarker(name, track)); }
  getClipSize(ticks, options) { return this.send(commandText.clipSize(ticks, options)); }
  getClipSizeAtMarker(name, track) { return this.send(commandText.clipSizeAtMarker(name, track)); }
  getTransitions(start, end, track) { return this.send(commandText.transitions(start, end, track)); }
  multicamAngle(angle) { return this.send(commandText.multicamAngle(angle)); }
  exec(category, command) { return this.send(commandText.exec(category, command)); }
  dumpAngle(ticks, track) { return this.send(commandText.dumpAngle(ticks, track)); }
  tlscan(from, to, budgetMs) { return this.send(commandText.tlscan(from, to, budgetMs)); }
  subscribeVitals() { return this.send(commandText.subscribe()); }

  // Runs a host command by name without a category. The engine only does so for text that
  // matches none of its own commands, and never answers.
  runHostCommand(name) {
    if (classifyCommand(name).reply !== 'none' || name === 'vitals.subscribe') {
      return Promise.reject(new TypeError(`${name} is an engine command, not a host command name`));
    }
    return this.send(name);
  }
}
