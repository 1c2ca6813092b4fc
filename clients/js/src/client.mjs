// A connection to the engine. Protocol 1 (the default): one request queue that pairs replies
// with requests in send order (the engine answers each message completely before it reads
// the next). Protocol 2: requests matched by id, batches and topic events, through a
// Session. Both: listeners, and a reconnect loop with exponential backoff.
import {
  MAX_MESSAGE_BYTES, DUMP_END, ZylProtocolError, ZylReplyError, classifyCommand, commandText,
  isPush, parseEvent, parseReply, parseVitals, replyFamily, summarizeDump, utf8Length,
} from './protocol1.mjs';
import { ZylConnectionError, ZylTimeoutError } from './errors.mjs';
import { SUBPROTOCOL, Session, ZylAuthenticationError, ZylRequestError } from './protocol2.mjs';

export { ZylConnectionError, ZylTimeoutError } from './errors.mjs';
export { ZylAuthenticationError, ZylRequestError } from './protocol2.mjs';

export const DEFAULT_URL = 'ws://127.0.0.1:7890';

// Whether `url` names this computer (localhost, 127.x, [::1]): only such an engine admits
// the text protocol, and any engine is reached elsewhere only where its user opened it.
export function isLocalUrl(url) {
  let host = '';
  try {
    host = new URL(url).hostname.toLowerCase();
  } catch {
    return false;
  }
  return host === 'localhost' || host === '[::1]' || /^127(\.\d{1,3}){3}$/.test(host);
}

// Why an engine on another computer may refuse a connection, for messages.
export const BEYOND_THIS_COMPUTER =
  'an engine on another computer answers only when its settings.json sets "listen" and a ' +
  'password, and there admits protocol 2 with the password only (the text protocol is refused ' +
  'with 403) and pages only from origins its origins.txt lists';

const AUTHENTICATION_FAILED = 4004;
const UNSUPPORTED_PROTOCOL = 4005;

const OPEN = 1;

export class ZylClient {
  // options:
  //   url            ws://127.0.0.1:7890 by default
  //   WebSocket      constructor to use; the global one when absent (Node 20 needs
  //                  --experimental-websocket, or pass the `ws` package's class)
  //   timeoutMs      per request, and for the opening; a timeline scan can hold a reply
  //                  for several seconds
  //   reconnect      reopen after an unexpected close (default true)
  //   backoff        { initialMs, maxMs, factor, jitter }
  //   protocol       1 (the text protocol, the default) or 2 (the structured protocol)
  //   password       protocol 2: the engine's password, when it has one
  //   subscriptions  protocol 2: topics to hold from the start ('transport', 'marker', 'vitals',
  //                  'playhead', 'sequence')
  //   retryFirstConnect  keep trying the first connect as the reconnect loop would (default
  //                  false): for a tool started before the engine. connect() then resolves at
  //                  the first open, and rejects only when close() ends the trying or the
  //                  engine refuses what no retry changes (the password, the protocol).
  constructor(options = {}) {
    this.url = options.url ?? DEFAULT_URL;
    this.protocol = options.protocol ?? 1;
    if (this.protocol !== 1 && this.protocol !== 2) throw new TypeError('protocol must be 1 or 2');
    this.password = options.password;
    // The engine asks for no password when its own is empty, so an empty one proves nothing.
    if (this.password !== undefined && (typeof this.password !== 'string' || this.password === '')) {
      throw new TypeError('password must be a non-empty string');
    }
    if (this.password !== undefined && this.protocol !== 2) {
      throw new TypeError('a password needs protocol 2: protocol 1 has no authentication');
    }
    this.subscriptions = topicList(options.subscriptions ?? [], 'subscriptions');
    this.session = null;
    this.WebSocket = options.WebSocket ?? globalThis.WebSocket;
    if (typeof this.WebSocket !== 'function') {
      throw new ZylConnectionError(
        'no WebSocket: pass one in options.WebSocket, or run Node with --experimental-websocket',
      );
    }
    this.timeoutMs = options.timeoutMs ?? 30000;
    this.reconnect = options.reconnect ?? true;
    this.retryFirstConnect = options.retryFirstConnect ?? false;
    this.backoff = { initialMs: 250, maxMs: 10000, factor: 2, jitter: 0.2, ...options.backoff };
    this.socket = null;
    this.pending = [];
    this.listeners = new Map();
    this.subscribed = false;
    this.closedByUser = false;
    this.attempt = 0;
    this.retryTimer = null;
    // The rejection of a first connect still being retried, for close() to settle.
    this.firstConnect = null;
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
    return this.socket?.readyState === OPEN && (this.protocol === 1 || this.session?.identified === true);
  }

  // Resolves at the first open (protocol 2: once identified); rejects when that first
  // attempt fails, and then leaves nothing running: the caller has its answer. Only a
  // connection that was open is reopened by the reconnect loop.
  connect() {
    if (this.socket) return this.connected ? Promise.resolve() : Promise.reject(new ZylConnectionError('already connecting'));
    if (this.firstConnect) return Promise.reject(new ZylConnectionError('already connecting'));
    this.closedByUser = false;
    clearTimeout(this.retryTimer);
    return new Promise((resolve, reject) => {
      const settle = (then) => (value) => {
        this.firstConnect = null;
        then(value);
      };
      this.firstConnect = settle(reject);
      this.open(settle(resolve), this.firstConnect);
    });
  }

  open(resolve, reject) {
    let socket;
    try {
      socket = this.protocol === 2 ? new this.WebSocket(this.url, [SUBPROTOCOL]) : new this.WebSocket(this.url);
    } catch (error) {
      // A malformed address will not get better by trying again.
      this.emit('error', error);
      reject?.(error);
      return;
    }
    this.socket = socket;
    socket.binaryType = 'arraybuffer';
    let opened = false;
    // Covers the whole opening: a port that accepts and then says nothing (or never says
    // hello) must not hold the connect, or the process, forever.
    const openingTimer = setTimeout(() => {
      lost(1006, 'opening timed out', new ZylTimeoutError(`connecting to ${this.url}`, this.timeoutMs));
      socket.close();
    }, this.timeoutMs);
    const ready = () => {
      clearTimeout(openingTimer);
      opened = true;
      this.attempt = 0;
      this.emit('open');
      resolve?.();
    };
    const lost = (code, reason, error) => {
      if (this.socket !== socket) return;
      this.socket = null;
      clearTimeout(openingTimer);
      const closed = new ZylConnectionError(`connection closed (${code}${reason ? `: ${reason}` : ''})`, code);
      this.session?.end(closed);
      this.session = null;
      this.failPending(closed);
      this.emit('close', { code, reason, wasOpen: opened });
      if (!opened && reject) {
        const refusal = error ?? this.refusal(code, reason);
        if (!this.retryFirstConnect || !this.reconnect || this.closedByUser || isFinalRefusal(refusal)) {
          reject(refusal);
          return;
        }
        this.emit('error', refusal);
        this.scheduleReconnect(resolve, reject);
        return;
      }
      if (!opened && error) this.emit('error', error);
      this.scheduleReconnect();
    };
    socket.addEventListener('open', () => {
      if (this.protocol === 1) {
        // A subscription lives as long as its connection; renew it on the new one.
        if (this.subscribed) this.transmit(commandText.subscribe());
        ready();
        return;
      }
      const session = new Session({
        transmit: (text) => this.transmit(text),
        emit: (type, ...args) => this.emit(type, ...args),
        password: this.password,
        subscriptions: this.subscriptions,
        timeoutMs: this.timeoutMs,
      });
      this.session = session;
      session.handshake().then(
        () => {
          this.subscriptions = session.subscriptions;
          ready();
        },
        (error) => {
          // Settled here at once: a server that never answers the close must not keep
          // this attempt open.
          lost(1000, error.message, error);
          socket.close(1000);
        },
      );
    });
    socket.addEventListener('message', (event) => {
      if (this.protocol === 1) this.receive(event.data);
      else this.session?.receive(typeof event.data === 'string' ? event.data : new TextDecoder().decode(event.data));
    });
    socket.addEventListener('close', (event) => lost(event.code, event.reason));
    // Some implementations (Node 20's) report a failed connect with an error and no close.
    socket.addEventListener('error', () => {
      if (!opened) lost(1006, 'connection failed');
    });
  }

  // Why a first connect failed, from the close that ended it.
  refusal(code, reason) {
    if (code === AUTHENTICATION_FAILED) {
      return new ZylAuthenticationError(`the engine refused the password (${code}${reason ? `: ${reason}` : ''})`, code);
    }
    if (code >= 4000) return new ZylConnectionError(`the engine closed the connection (${code}: ${reason})`, code);
    // A browser or Node fails the handshake of an engine that does not take protocol 2's
    // subprotocol exactly as it fails a closed port.
    let hint = this.protocol === 2 ? ' (no engine there, or one without protocol 2)' : '';
    if (!isLocalUrl(this.url)) hint += `; ${BEYOND_THIS_COMPUTER}`;
    return new ZylConnectionError(`cannot connect to ${this.url}${hint}`, code);
  }

  // A first connect that is retried carries its promise's settlers along.
  scheduleReconnect(resolve, reject) {
    if (!this.reconnect || this.closedByUser) return;
    const { initialMs, maxMs, factor, jitter } = this.backoff;
    const base = Math.min(maxMs, initialMs * factor ** this.attempt);
    const delay = Math.round(base * (1 + jitter * (Math.random() * 2 - 1)));
    this.attempt += 1;
    this.emit('reconnecting', { attempt: this.attempt, delayMs: delay });
    this.retryTimer = setTimeout(() => this.open(resolve, reject), delay);
  }

  close() {
    this.closedByUser = true;
    clearTimeout(this.retryTimer);
    const socket = this.socket;
    if (!socket) {
      this.firstConnect?.(new ZylConnectionError('closed before a connect succeeded'));
      return Promise.resolve();
    }
    return new Promise((resolve) => {
      socket.addEventListener('close', () => resolve());
      // Closed before it opened, a socket may report only an error (Node's does).
      socket.addEventListener('error', () => resolve());
      socket.close(1000);
    });
  }

  // ---- protocol 2 ----

  // Resolves with the method's result; rejects with a ZylRequestError (code, message, param,
  // status) when the engine answers "ok": false. Params may hold BigInt, sent as integers;
  // integers beyond 2^53-1 in the result arrive as BigInt.
  request(method, params) {
    try {
      checkMethod(method, 'method');
      checkParams(params, 'params');
    } catch (error) {
      return Promise.reject(error);
    }
    const message = { op: 'request', method };
    if (params !== undefined) message.params = params;
    return this.structured(message, method).then((response) => {
      if (response.ok === true) return response.result;
      throw new ZylRequestError(response.error, method);
    });
  }

  // Runs up to 64 requests in one message. Resolves with one entry per item, in order:
  // { ok: true, result } or { ok: false, error: ZylRequestError }; with haltOnFailure, the
  // failing item's entry is the last. Rejects when the engine refuses the whole batch.
  batch(items, { haltOnFailure = false } = {}) {
    try {
      if (!Array.isArray(items)) throw new TypeError('items must be an array of { method, params }');
      items.forEach((item, index) => {
        if (item === null || typeof item !== 'object') throw new TypeError(`items[${index}] must be an object`);
        checkMethod(item.method, `items[${index}].method`);
        checkParams(item.params, `items[${index}].params`);
      });
      if (typeof haltOnFailure !== 'boolean') throw new TypeError('haltOnFailure must be a boolean');
    } catch (error) {
      return Promise.reject(error);
    }
    const requests = items.map(({ method, params }) => (params === undefined ? { method } : { method, params }));
    return this.structured({ op: 'batch', haltOnFailure, requests }, 'batch').then((response) => {
      if (response.ok !== true) throw new ZylRequestError(response.error, 'batch');
      if (!Array.isArray(response.results)) throw new ZylProtocolError('batchResponse without results');
      return response.results.map((entry, index) => (entry?.ok === true
        ? { ok: true, result: entry.result }
        : { ok: false, error: new ZylRequestError(entry?.error, requests[index]?.method) }));
    });
  }

  // Pins the timeline this connection means (null unpins): methods that take `timeline` use
  // it when left out, and the 'playhead' and 'sequence' topics derive on it. Resolves with the
  // timeline pinned. A pin lasts as long as the connection: after a reconnect, pin again (ids
  // are the editor's handles, and an editor restarted may give the same id to another one).
  pinTimeline(timeline) {
    return this.request('timeline.pin', { timeline }).then((result) => result.timelineID);
  }

  // Adds topics ('transport', 'marker', 'vitals', 'playhead', 'sequence'); their events go
  // to on(topic, fn).
  // Resolves with every topic now held, which a reconnect renews.
  subscribe(topics) {
    return this.changeTopics('subscribe', topics);
  }

  unsubscribe(topics) {
    return this.changeTopics('unsubscribe', topics);
  }

  changeTopics(op, topics) {
    try {
      topicList(topics, 'topics');
    } catch (error) {
      return Promise.reject(error);
    }
    return this.structured({ op, topics }, op).then((response) => {
      if (response.ok !== true) throw new ZylRequestError(response.error, op);
      this.subscriptions = response.result.subscriptions;
      return this.subscriptions;
    });
  }

  structured(message, what) {
    if (this.protocol !== 2) {
      return Promise.reject(new TypeError(`${what}: this client speaks protocol 1; create it with protocol: 2`));
    }
    if (!this.connected) return Promise.reject(new ZylConnectionError('not connected'));
    return this.session.call(message, what);
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
    if (this.protocol !== 1) {
      return Promise.reject(new TypeError('send() and its helpers speak protocol 1; use request() with protocol 2'));
    }
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

  // Each helper checks its arguments before anything is sent: a wrong type or a value out of
  // range rejects with a TypeError or RangeError naming the parameter.
  sendBuilt(build) {
    let text;
    try {
      text = build();
    } catch (error) {
      return Promise.reject(error);
    }
    return this.send(text);
  }

  getVersion() { return this.sendBuilt(() => commandText.version()); }
  getInfo() { return this.sendBuilt(() => commandText.info()); }
  getCommands() { return this.sendBuilt(() => commandText.commands()); }
  getSequence(timeline) { return this.sendBuilt(() => commandText.sequence(timeline)); }
  getAngle(ticks, track) { return this.sendBuilt(() => commandText.angle(ticks, track)); }
  getAngleAtMarker(name, track) { return this.sendBuilt(() => commandText.angleAtMarker(name, track)); }
  getClipSize(ticks, options) { return this.sendBuilt(() => commandText.clipSize(ticks, options)); }
  getClipSizeAtMarker(name, track) { return this.sendBuilt(() => commandText.clipSizeAtMarker(name, track)); }
  getTransitions(start, end, track) { return this.sendBuilt(() => commandText.transitions(start, end, track)); }
  multicamAngle(angle) { return this.sendBuilt(() => commandText.multicamAngle(angle)); }
  exec(category, command) { return this.sendBuilt(() => commandText.exec(category, command)); }
  dumpAngle(ticks, track) { return this.sendBuilt(() => commandText.dumpAngle(ticks, track)); }
  tlscan(from, to, budgetMs) { return this.sendBuilt(() => commandText.tlscan(from, to, budgetMs)); }
  subscribeVitals() { return this.sendBuilt(() => commandText.subscribe()); }

  // Runs a host command by name without a category. The engine only does so for text that
  // matches none of its own commands, and never answers.
  runHostCommand(name) {
    if (typeof name !== 'string') return Promise.reject(new TypeError('name must be a string'));
    if (classifyCommand(name).reply !== 'none' || name === 'vitals.subscribe') {
      return Promise.reject(new TypeError(`${name} is an engine command, not a host command name`));
    }
    return this.send(name);
  }
}

// What the engine refused for a reason that no later attempt changes: the password, or the
// protocol version.
function isFinalRefusal(error) {
  return error instanceof ZylAuthenticationError || error?.closeCode === UNSUPPORTED_PROTOCOL;
}

function checkMethod(method, what) {
  if (typeof method !== 'string' || method === '') throw new TypeError(`${what} must be a non-empty string`);
}

function checkParams(params, what) {
  if (params === undefined) return;
  if (params === null || typeof params !== 'object' || Array.isArray(params)) {
    throw new TypeError(`${what} must be an object of named params`);
  }
}

function topicList(topics, what) {
  if (!Array.isArray(topics) || !topics.every((topic) => typeof topic === 'string')) {
    throw new TypeError(`${what} must be an array of topic names`);
  }
  return [...topics];
}
