export * from './src/protocol.mjs';
export * from './src/client.mjs';
