// One connection's structured-protocol conversation: the opening (hello, identify,
// identified, with the password proof both ways), requests matched to their responses by
// id, and events handed to listeners by topic. The socket belongs to the client; this
// object only reads the texts it is given and writes through `transmit`.
import { authenticationProof } from './auth.mjs';
import { PROTOCOL_VERSION } from './engine-description.mjs';
import { parseJson, stringifyJson } from './json.mjs';
import { MAX_MESSAGE_BYTES, ZylProtocolError, utf8Length } from './protocol1.mjs';
import { ZylConnectionError, ZylTimeoutError } from './errors.mjs';

export { PROTOCOL_VERSION, SUBPROTOCOL } from './engine-description.mjs';

// A response with "ok": false. `code` is the engine's error code (`invalid_params`,
// `not_found`, `host_error`, ...), `message` its text, `param` the param at fault and
// `status` the host's status code, where the engine gives them.
export class ZylRequestError extends Error {
  constructor(error, method) {
    super(typeof error?.message === 'string' ? error.message : String(error?.code));
    this.name = 'ZylRequestError';
    this.code = error?.code;
    this.param = error?.param;
    this.status = error?.status;
    this.method = method;
  }
}

// The password proof failed either way: the engine refused ours (`closeCode` 4004, its
// close code), or the server on the port could not prove that it knows the password (it may
// not be the engine at all; no close code, the client ended the connection).
export class ZylAuthenticationError extends Error {
  constructor(message, closeCode) {
    super(message);
    this.name = 'ZylAuthenticationError';
    this.closeCode = closeCode;
  }
}

// Topics are plain lower-case words; the client's own event names ('open', 'close', 'error',
// ...) are never topics, so a server cannot raise them.
const TOPIC = /^[a-z]+$/;
const CLIENT_EVENTS = new Set(['open', 'close', 'reconnecting', 'frame', 'sent', 'unexpected', 'error', 'event']);

const isObject = (value) => value !== null && typeof value === 'object' && !Array.isArray(value);

export class Session {
  constructor({ transmit, emit, password, subscriptions, timeoutMs }) {
    this.transmit = transmit;
    this.emit = emit;
    this.password = password;
    this.subscriptions = subscriptions;
    this.timeoutMs = timeoutMs;
    this.stage = 'hello';
    this.pending = new Map();
    this.nextId = 1;
    this.ended = false;
    this.opening = null;
  }

  get identified() {
    return this.stage === 'identified';
  }

  // Resolves once the engine has sent `identified`; rejects on any fault before it. The
  // client bounds the time it may take.
  handshake() {
    return new Promise((resolve, reject) => {
      this.opening = { resolve, reject };
    });
  }

  // Ends the conversation: the opening and every request still waiting fail with `error`.
  end(error) {
    if (this.ended) return;
    this.ended = true;
    this.stage = 'ended';
    this.opening?.reject(error);
    this.opening = null;
    for (const entry of this.pending.values()) {
      clearTimeout(entry.timer);
      entry.reject(error);
    }
    this.pending.clear();
  }

  // A fault before `identified` ends the connection; after it, the message is reported.
  fail(error) {
    if (this.stage === 'identified') this.emit('error', error);
    else this.end(error);
  }

  receive(text) {
    if (this.ended) return;
    this.emit('frame', text);
    let message;
    try {
      message = parseJson(text);
    } catch (error) {
      this.fail(new ZylProtocolError(`malformed message: ${error.message}`, text));
      return;
    }
    if (!isObject(message) || typeof message.op !== 'string') {
      this.fail(new ZylProtocolError('a message is an object with a string "op"', text));
      return;
    }
    if (this.stage === 'hello' && message.op === 'hello') {
      this.answerHello(message, text).catch((error) => this.end(error));
    } else if (this.stage === 'identifying' && message.op === 'identified') {
      this.acceptIdentified(message, text);
    } else if (this.stage === 'identified' && (message.op === 'response' || message.op === 'batchResponse')) {
      this.settle(message, text);
    } else if (this.stage === 'identified' && message.op === 'event' && TOPIC.test(message.topic ?? '') && !CLIENT_EVENTS.has(message.topic)) {
      this.emit(message.topic, message.data, message);
      this.emit('event', message);
    } else {
      this.emit('unexpected', text);
      if (this.stage !== 'identified') this.end(new ZylProtocolError(`unexpected "${message.op}" in the opening`, text));
    }
  }

  async answerHello(hello, text) {
    // Until identify is out nothing may be taken for `identified`: a proof cannot be
    // checked before it is known.
    this.stage = 'answering';
    const offered = hello.authentication;
    const identify = { op: 'identify', protocol: PROTOCOL_VERSION, subscriptions: this.subscriptions };
    if (this.password !== undefined) {
      // Anyone can open a port while the engine is down; without a challenge there is no
      // proof, so a client that has a password never talks to such a server.
      if (!isObject(offered)) {
        throw new ZylAuthenticationError('the server asks no password, so it cannot prove it is the engine');
      }
      if (typeof offered.challenge !== 'string' || typeof offered.salt !== 'string') {
        throw new ZylProtocolError('hello: authentication needs a string challenge and salt', text);
      }
      const proof = await authenticationProof(this.password, offered);
      if (this.ended) return;
      identify.authentication = proof.answer;
      this.expectedProof = proof.serverProof;
    } else if (offered !== null && offered !== undefined) {
      throw new ZylAuthenticationError('the engine asks for a password');
    }
    this.stage = 'identifying';
    this.transmit(stringifyJson(identify));
  }

  acceptIdentified(identified, text) {
    if (this.expectedProof !== undefined && identified.serverProof !== this.expectedProof) {
      this.end(new ZylAuthenticationError('the server gave a wrong proof of the password, so it is not the engine'));
      return;
    }
    if (!Array.isArray(identified.subscriptions)) {
      this.end(new ZylProtocolError('identified: "subscriptions" is not a list', text));
      return;
    }
    this.subscriptions = identified.subscriptions;
    this.stage = 'identified';
    this.opening.resolve();
    this.opening = null;
  }

  settle(message, text) {
    const entry = this.pending.get(message.id);
    if (!entry || entry.op !== message.op) {
      // Most likely the late answer to a request that timed out.
      this.emit('unexpected', text);
      return;
    }
    this.pending.delete(message.id);
    clearTimeout(entry.timer);
    entry.resolve(message);
  }

  // Sends one message that the engine answers by id (`request`, `batch`, `subscribe`,
  // `unsubscribe`) and resolves with the answer as it came.
  call(message, what) {
    if (this.stage !== 'identified') return Promise.reject(new ZylConnectionError('not connected'));
    const id = this.nextId++;
    const text = stringifyJson({ op: message.op, id, ...message });
    if (utf8Length(text) > MAX_MESSAGE_BYTES) {
      return Promise.reject(new RangeError(`${what}: a message is at most ${MAX_MESSAGE_BYTES} bytes`));
    }
    return new Promise((resolve, reject) => {
      const timer = setTimeout(() => {
        this.pending.delete(id);
        reject(new ZylTimeoutError(what, this.timeoutMs));
      }, this.timeoutMs);
      this.pending.set(id, {
        op: message.op === 'batch' ? 'batchResponse' : 'response', resolve, reject, timer,
      });
      this.transmit(text);
    });
  }
}
