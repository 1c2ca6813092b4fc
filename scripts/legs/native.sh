#!/usr/bin/env bash
# The normal build and its tests.
source "$(dirname "$0")/common.sh"
cmake -S . -B build "${GENERATOR[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZYL_BUILD_TESTS=ON >/dev/null
cmake --build build -j "$JOBS"
scripts/isolated-net ctest --test-dir build --output-on-failure --timeout 300 --repeat until-pass:2
leg_done native
