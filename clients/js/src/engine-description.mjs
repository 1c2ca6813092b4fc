// Made by scripts/generate-protocol-docs.py from the engine's own description of its
// protocols (docs/protocol.json); `cmake --build build --target protocol-docs` remakes it.

export const ENGINE_VERSION = "1.2.4";
export const SUBPROTOCOL = "zyl.v2";
export const PROTOCOL_VERSION = 2;

// The text protocol's commands in the engine's matching order: each one's name, whether
// it takes arguments after a ":" (none, required, optional), the word its replies and
// error replies share, its reply kinds, its error tokens and whether it is unstable.
export const TEXT_COMMANDS = [
  {"name": "get.version", "arguments": "none", "family": "version", "replies": ["version"], "errors": [], "unstable": false},
  {"name": "get.info", "arguments": "none", "family": "info", "replies": ["info"], "errors": [], "unstable": false},
  {"name": "get.sequence", "arguments": "optional", "family": "sequence", "replies": ["sequence"], "errors": ["parse", "notimeline", "nosuite", "a number"], "unstable": false},
  {"name": "get.angle", "arguments": "required", "family": "angle", "replies": ["angle"], "errors": ["parse"], "unstable": false},
  {"name": "get.angle.marker", "arguments": "required", "family": "angle", "replies": ["angle"], "errors": [], "unstable": false},
  {"name": "get.clipsize", "arguments": "required", "family": "clipsize", "replies": ["clipsize"], "errors": ["parse"], "unstable": false},
  {"name": "get.clipsize.marker", "arguments": "required", "family": "clipsize", "replies": ["clipsize"], "errors": [], "unstable": false},
  {"name": "get.transitions", "arguments": "required", "family": "transitions", "replies": ["transitions"], "errors": ["parse", "noclip"], "unstable": false},
  {"name": "get.commands", "arguments": "none", "family": "commands", "replies": ["command", "commands.done"], "errors": ["nosuite", "count"], "unstable": false},
  {"name": "exec", "arguments": "required", "family": "exec", "replies": ["exec.ok"], "errors": ["nosuite", "parse", "alloc"], "unstable": false},
  {"name": "multicam.angle", "arguments": "required", "family": "multicam.angle", "replies": ["multicam.angle.ok"], "errors": ["parse", "range"], "unstable": false},
  {"name": "vitals.subscribe", "arguments": "none", "family": null, "replies": [], "errors": [], "unstable": false},
  {"name": "dump.angle", "arguments": "required", "family": "dump", "replies": ["[dump] "], "errors": ["parse"], "unstable": true},
  {"name": "debug.tlscan", "arguments": "required", "family": "tlscan", "replies": ["tlscan"], "errors": [], "unstable": true},
];
