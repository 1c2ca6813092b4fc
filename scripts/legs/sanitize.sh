#!/usr/bin/env bash
# The whole suite built with sanitizers: `sanitize.sh address,undefined` or `sanitize.sh thread`.
# Any sanitizer report fails the run.
source "$(dirname "$0")/common.sh"
sanitizers=${1:-address,undefined}
dir=build-${sanitizers//,/-}
# Line tables are all a sanitizer report needs for file and line, and cost a fraction of
# full debugging information to compile and link.
cmake -S . -B "$dir" "${GENERATOR[@]}" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS_DEBUG=-gline-tables-only "${FAST_LINKER[@]}" "${UNITY[@]}" -DZYL_SANITIZE="$sanitizers" >/dev/null
cmake --build "$dir" -j "$JOBS"
export ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:abort_on_error=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
ctest --test-dir "$dir" --output-on-failure --timeout 600 -j4
leg_done "sanitize $sanitizers"
