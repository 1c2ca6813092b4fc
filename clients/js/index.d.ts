// The client's API. The structured protocol's method params and results are declared in
// protocol.d.ts, which is generated from the engine's protocol description.
import type { ZylEventData, ZylJson, ZylMethod, ZylParams, ZylResult, ZylTopic } from './protocol.js';

export type {
  ZylCloseCode,
  ZylErrorCode,
  ZylEventData,
  ZylEvents,
  ZylJson,
  ZylMethod,
  ZylMethods,
  ZylParams,
  ZylResult,
  ZylTopic,
} from './protocol.js';

export const DEFAULT_URL: string;
/** Whether the URL names this computer (localhost, 127.x, [::1]). */
export function isLocalUrl(url: string): boolean;
/** Why an engine on another computer may refuse a connection, for messages. */
export const BEYOND_THIS_COMPUTER: string;
export const ENGINE_VERSION: string;
export const MAX_MESSAGE_BYTES: number;
export const SUBPROTOCOL: 'zyl.v2';

/** Ticks for the text protocol's helpers: a safe integer, a bigint or a decimal text. */
export type Ticks = number | bigint | string;

export interface Backoff {
  initialMs?: number;
  maxMs?: number;
  factor?: number;
  jitter?: number;
}

export interface ZylClientOptions {
  /** ws://127.0.0.1:7890 by default. */
  url?: string;
  /** A WebSocket constructor; the global one when absent. */
  WebSocket?: new (url: string, protocols?: string | string[]) => WebSocket;
  /** Per request and for the opening handshake; 30000 by default. */
  timeoutMs?: number;
  /** Reopen a connection that was open and closed unexpectedly (default true). */
  reconnect?: boolean;
  /**
   * Retry a failed first connect as a reconnect is, instead of rejecting (default false).
   * connect() still rejects on a refused password or protocol, and when close() is called.
   */
  retryFirstConnect?: boolean;
  backoff?: Backoff;
  /** 1, the text protocol (the default), or 2, the structured protocol. */
  protocol?: 1 | 2;
  /** Protocol 2: the engine's password, when it has one. */
  password?: string;
  /** Protocol 2: topics to hold from the opening on. */
  subscriptions?: ZylTopic[];
}

export interface CloseInfo {
  code: number;
  reason: string;
  wasOpen: boolean;
}

export interface BatchItem {
  method: ZylMethod;
  params?: ZylParams;
}

export type BatchEntry = { ok: true; result: ZylResult } | { ok: false; error: ZylRequestError };

export interface EventMessage {
  op: 'event';
  topic: ZylTopic | string;
  data: ZylEventData;
}

/** A text-protocol reply, parsed: `kind`, `text` and the kind's own fields. */
export interface Reply {
  kind: string;
  text: string;
  [field: string]: unknown;
}

export class ZylClient {
  constructor(options?: ZylClientOptions);
  readonly url: string;
  readonly protocol: 1 | 2;
  /** Protocol 2: the topics held now. */
  readonly subscriptions: string[];
  readonly connected: boolean;

  connect(): Promise<void>;
  close(): Promise<void>;

  on(type: 'open', listener: () => void): () => void;
  on(type: 'close', listener: (info: CloseInfo) => void): () => void;
  on(type: 'reconnecting', listener: (info: { attempt: number; delayMs: number }) => void): () => void;
  on(type: 'frame' | 'sent' | 'unexpected', listener: (text: string) => void): () => void;
  on(type: 'error', listener: (error: Error) => void): () => void;
  /** Protocol 1: (event, text); protocol 2: (message). */
  on(type: 'event', listener: (event: any, text?: string) => void): () => void;
  /** Protocol 1: 'vitals' gets (record, text); protocol 2: each topic gets (data, message). */
  on(type: ZylTopic | string, listener: (data: any, message?: any) => void): () => void;

  // ---- protocol 2 ----
  /** Params may be left out when the method requires none. */
  request<M extends ZylMethod>(
    method: M,
    ...params: {} extends ZylParams<M> ? [params?: ZylParams<M>] : [params: ZylParams<M>]
  ): Promise<ZylResult<M>>;
  batch(items: BatchItem[], options?: { haltOnFailure?: boolean }): Promise<BatchEntry[]>;
  subscribe(topics: ZylTopic[]): Promise<string[]>;
  /** Pins the timeline this connection means (null unpins); resolves with the one pinned. Lasts as long as the connection. */
  pinTimeline(timeline: number | null): Promise<number | null>;
  unsubscribe(topics: ZylTopic[]): Promise<string[]>;

  // ---- protocol 1 ----
  send(text: string): Promise<Reply>;
  getVersion(): Promise<Reply>;
  getInfo(): Promise<Reply>;
  getCommands(): Promise<Reply>;
  getSequence(timeline?: number | bigint | string): Promise<Reply>;
  getAngle(ticks: Ticks, track?: number): Promise<Reply>;
  getAngleAtMarker(name: string, track?: number): Promise<Reply>;
  getClipSize(ticks: Ticks, options?: { end?: Ticks; track?: number }): Promise<Reply>;
  getClipSizeAtMarker(name: string, track?: number): Promise<Reply>;
  getTransitions(start: Ticks, end: Ticks, track?: number): Promise<Reply>;
  multicamAngle(angle: number): Promise<Reply>;
  exec(category: string, command: string): Promise<Reply>;
  dumpAngle(ticks: Ticks, track?: number): Promise<Reply>;
  tlscan(from?: Ticks, to?: Ticks, budgetMs?: Ticks): Promise<Reply>;
  subscribeVitals(): Promise<Reply>;
  runHostCommand(name: string): Promise<Reply>;
}

export class ZylConnectionError extends Error {
  /** The close code that ended the connection, when there was one. */
  closeCode?: number;
}
export class ZylTimeoutError extends Error {
  request: string;
}
export class ZylAuthenticationError extends Error {
  /** 4004 when the engine refused the password; absent when the server failed to prove it knows it. */
  closeCode?: number;
}
/** A structured-protocol response with "ok": false. */
export class ZylRequestError extends Error {
  code: string;
  param?: string;
  status?: number;
  method: string;
}
export class ZylProtocolError extends Error {
  text?: string;
}
export class ZylReplyError extends Error {
  reply: string;
  reason: string;
  code?: number;
  kind: string;
  request?: string;
}

/** JSON.parse that reads integers beyond 2^53-1 as bigint. */
export function parseJson(text: string): ZylJson;
/** JSON.stringify that writes bigint as a bare integer. */
export function stringifyJson(value: unknown, indent?: number): string;

/** What a timecode conversion reads of a sequence.get record (or a sequence push). */
export interface TimecodeSequence {
  ticksPerSecond: number | bigint | null;
  ticksPerFrame: number | bigint | null;
  dropFrame: boolean | null;
  zeroPointTicks: number | bigint | null;
}
/**
 * The position a timecode text names on the sequence, as the engine derives the playhead's
 * ticks: SMPTE HH:MM:SS:FF at the sequence's rate (';' or '.' before the frames marks
 * drop-frame, which exists at 29.97 and 59.94 only), minus the zero point. Null when the text
 * is no such timecode, the timing is unknown or the position negative; a bigint past 2^53-1.
 */
export function timecodeToTicks(text: string, sequence: TimecodeSequence): number | bigint | null;
/** The timecode text of a position: whole frames down, hours past 24 wrapping, ';' before the frames for drop-frame. Null for a negative position or an unknown timing. */
export function ticksToTimecode(ticks: number | bigint, sequence: TimecodeSequence): string | null;

export function classifyCommand(text: string): { command: string; reply: 'none' | 'one' | 'commands' | 'dump'; kind?: string };
export function parseReply(text: string): Reply;
export function parseVitals(text: string): Record<string, unknown>;
export function parseEvent(text: string): { topic: string; [field: string]: unknown };
export function foldMarkerName(name: string): string;
export const commandText: Record<string, (...args: any[]) => string>;
