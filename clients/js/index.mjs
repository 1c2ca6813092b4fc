export * from './src/protocol1.mjs';
export * from './src/client.mjs';
export * from './src/json.mjs';
export { SUBPROTOCOL } from './src/protocol2.mjs';
export { timecodeToTicks, ticksToTimecode } from './src/timecode.mjs';
