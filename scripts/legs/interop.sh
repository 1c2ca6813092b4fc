#!/usr/bin/env bash
# Independent clients against the engine inside the host simulator: Node's `ws`, Node's own
# WebSocket, Python's websockets and headless Chromium, plus the JavaScript and Python clients'
# tests, the console page and the Companion module. Each suite runs in a network namespace of
# its own, since the engine always binds 127.0.0.1:7890. ZYL_BUILD_DIR=DIR uses an engine
# already built there.
set -euo pipefail
source "$(dirname "$0")/common.sh"

# Node comes from the machine (Debian's own is too old for its WebSocket); the rest from Debian.
scripts/install-deps.sh cmake ninja-build g++ libssl-dev nlohmann-json3-dev iproute2 util-linux \
  python3 python3-websockets mypy chromium
command -v node >/dev/null || scripts/install-deps.sh nodejs npm
if [ "$(node -p 'process.versions.node.split(".")[0]')" -lt 20 ]; then
  echo "interop: Node 20 or later is needed, found $(node --version)" >&2
  exit 1
fi
(cd tests/interop && npm ci --no-audit --no-fund --loglevel=error)
# The Companion module takes Node 22, which its tools need, from npm for its own folder; its
# package is built as a release would build it (the build checks the manifest).
integrations/companion/build.sh >/dev/null

if [ -n "${ZYL_BUILD_DIR:-}" ]; then
  BUILD_DIR=$(cd "$ZYL_BUILD_DIR" && pwd)
else
  BUILD_DIR=$ROOT/build
  [ -f build/CMakeCache.txt ] || cmake -S . -B build "${GENERATOR[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${UNITY[@]}" >/dev/null
  cmake --build build -j "$JOBS" --target ZYL_Engine zyl-hostsim
fi
export ZYL_BUILD_DIR=$BUILD_DIR

# Debian's interpreter, the one python3-websockets belongs to.
PYTHON=/usr/bin/python3
LOGS=$(mktemp -d)
trap 'rm -rf "$LOGS"' EXIT
passed=0
failed=0

# Runs one suite, shows its output, and adds up its counts; a suite that dies without
# counting anything counts as one failure.
run_suite() {
  local name=$1 kind=$2
  shift 2
  echo "=== interop suite: $name"
  local status=0
  scripts/isolated-net "$@" >"$LOGS/$name" 2>&1 || status=$?
  cat "$LOGS/$name"
  local pass fail
  if [ "$kind" = node ]; then
    # A test cancelled because its suite's set-up failed has not passed either.
    local cancelled
    pass=$(sed -n 's/^# pass \([0-9]*\)$/\1/p' "$LOGS/$name" | tail -1)
    fail=$(sed -n 's/^# fail \([0-9]*\)$/\1/p' "$LOGS/$name" | tail -1)
    cancelled=$(sed -n 's/^# cancelled \([0-9]*\)$/\1/p' "$LOGS/$name" | tail -1)
    fail=$(( ${fail:-0} + ${cancelled:-0} ))
  else
    local ran failures errors
    ran=$(sed -n 's/^Ran \([0-9]*\) tests\{0,1\} in .*/\1/p' "$LOGS/$name" | tail -1)
    failures=$(sed -n 's/^FAILED (.*failures=\([0-9]*\).*/\1/p' "$LOGS/$name" | tail -1)
    errors=$(sed -n 's/^FAILED (.*errors=\([0-9]*\).*/\1/p' "$LOGS/$name" | tail -1)
    fail=$(( ${failures:-0} + ${errors:-0} ))
    # An error in the class set-up is counted without a test having run.
    pass=$(( ${ran:-0} > fail ? ${ran:-0} - fail : 0 ))
  fi
  pass=${pass:-0}
  fail=${fail:-0}
  if [ "$status" -ne 0 ] && [ "$fail" -eq 0 ]; then fail=1; fi
  passed=$(( passed + pass ))
  failed=$(( failed + fail ))
}

NODE_TEST=(node --experimental-websocket --test --test-concurrency=1 --test-reporter=tap --test-timeout=180000)
run_suite js-client node "${NODE_TEST[@]}" clients/js/test/*.test.mjs
run_suite node-clients node "${NODE_TEST[@]}" tests/interop/*.test.mjs
run_suite companion-module node integrations/companion/node_modules/.bin/node --test --test-concurrency=1 \
  --test-reporter=tap --test-timeout=180000 integrations/companion/test/*.test.js
run_suite python-websockets python "$PYTHON" tests/interop/python_websockets_test.py
run_suite python-client python env PYTHONPATH=clients/python "$PYTHON" -m unittest discover -s clients/python/tests -v

echo "interop: finished in $(( $(date +%s) - LEG_START )) s"
echo "interop: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
