export * from './src/protocol.mjs';
export * from './src/client.mjs';
export * from './src/json.mjs';
export { SUBPROTOCOL } from './src/session.mjs';
export { timecodeToTicks, ticksToTimecode } from './src/timecode.mjs';
