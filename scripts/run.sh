#!/usr/bin/env bash
# Builds the engine and the simulator, then runs the engine inside the simulator.
#   scripts/run.sh               the built-in demo project, playing by itself (--demo);
#                                ws://127.0.0.1:7890 answers until you type quit
#   scripts/run.sh ARGUMENTS...  zyl-hostsim ARGUMENTS... exactly (no --demo unless given), e.g.
#                                --project mine.json to steer by hand, --check mine.json, --help
#   scripts/run.sh --demo --serve  reads no input: for nohup or a service manager; ends on
#                                SIGTERM or Ctrl-C (without --serve the simulator ends, saying
#                                so on standard error, when its input ends)
# The simulator runs in the caller's folder, so relative paths (in arguments and in `load`)
# mean what they say there. Standard output carries only the simulator's JSON event lines;
# everything the build prints goes to standard error.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
{
  echo "run.sh: building the engine and the simulator (the first build takes a few minutes)"
  "$root/scripts/install-deps.sh" cmake g++ libssl-dev nlohmann-json3-dev
  cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZYL_BUILD_TESTS=OFF >/dev/null
  cmake --build "$root/build" -j "$(nproc)" --target ZYL_Engine zyl-hostsim
} >&2
if [ "$#" -eq 0 ]; then set -- --demo; fi
exec "$root/build/bin/zyl-hostsim" "$@"
