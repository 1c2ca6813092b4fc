#!/usr/bin/env bash
# Builds the engine and the simulator, then runs the engine inside the simulator on its
# built-in demo project, playing by itself; ws://127.0.0.1:7890 answers until you type quit.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh cmake g++ libssl-dev nlohmann-json3-dev
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZYL_BUILD_TESTS=OFF >/dev/null
cmake --build build -j "$(nproc)" --target ZYL_Engine zyl-hostsim
exec build/bin/zyl-hostsim --demo "$@"
