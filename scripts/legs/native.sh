#!/usr/bin/env bash
# The normal build and its tests.
source "$(dirname "$0")/common.sh"
# The tests need the optimised code, not a debugger's tables: -g is left out, which makes
# every compile and link cheaper.
cmake -S . -B build "${GENERATOR[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -DNDEBUG" "${FAST_LINKER[@]}" "${UNITY[@]}" -DZYL_BUILD_TESTS=ON >/dev/null
cmake --build build -j "$JOBS"
ctest --test-dir build --output-on-failure --timeout 300 -j4
leg_done native
