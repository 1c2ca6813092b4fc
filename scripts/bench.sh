#!/usr/bin/env bash
# One command for the performance figures: builds build-bench in Release, installs the
# Node peer (the `ws` package) when missing, and runs zyl-bench in a private loopback
# network, so the engine's port 7890 does not meet anyone else's. Prints one table.
#   scripts/bench.sh             the whole table
#   scripts/bench.sh --playhead  the playhead push beside the vitals thread's push
#   scripts/bench.sh --peers     the engine beside Boost.Beast, websocketpp, Node's ws and the
#                                floors, each a process of its own
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-bench
generator=(); command -v ninja >/dev/null && generator=(-G Ninja)
cmake -S . -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release -DZYL_BUILD_BENCH=ON \
  -DZYL_BUILD_TESTS=ON >/dev/null
cmake --build "$build" -j2 --target zyl-bench
if [ ! -d bench/node/node_modules/ws ]; then
  (cd bench/node && npm ci --no-audit --no-fund)
fi
# Taken after the build, so the load is that of the machine, not of our compiler.
echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), $(nproc) cores," \
  "Linux $(uname -r), load average at start $(cut -d' ' -f1-3 /proc/loadavg), $(date -u '+%F %H:%M UTC')"
if [ "${1:-}" = --playhead ]; then
  exec scripts/isolated-net "$build/bin/zyl-bench" --playhead
fi
if [ "${1:-}" = --peers ]; then
  exec scripts/isolated-net "$build/bin/zyl-bench" --peers "$PWD/bench/node/echo-server.js"
fi
exec scripts/isolated-net "$build/bin/zyl-bench" "$PWD/bench/node/echo-server.js"
