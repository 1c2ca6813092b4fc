#!/usr/bin/env bash
# The normal build and its tests.
source "$(dirname "$0")/common.sh"
cmake -S . -B build "${GENERATOR[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZYL_BUILD_TESTS=ON >/dev/null
cmake --build build -j "$JOBS"
ctest --test-dir build --output-on-failure --timeout 300 -j4
leg_done native
