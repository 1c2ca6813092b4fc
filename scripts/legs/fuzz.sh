#!/usr/bin/env bash
# The libFuzzer targets (fuzz/), each run for FUZZ_SECONDS (default 30) over a copy of its
# seed corpus (fuzz/corpus/) with its dictionary (fuzz/dict/). Any crash, leak, hang, broken
# expectation or sanitizer report fails the leg; the input that caused it is kept in
# build-fuzz/artifacts/. The long run is FUZZ_SECONDS=600 scripts/legs/fuzz.sh.
source "$(dirname "$0")/common.sh"
scripts/install-deps.sh cmake ninja-build clang lld libclang-rt-14-dev libssl-dev nlohmann-json3-dev \
  iproute2 util-linux

seconds=${FUZZ_SECONDS:-30}
# One input that takes this long is a hang; generous so that a busy machine never trips it.
input_timeout=60
dir=build-fuzz
targets=(frame_parser handshake allow_list timecode dispatch message_reader settings)

# Line tables keep file and line in crash reports at a fraction of the cost of -g.
cmake -S . -B "$dir" "${GENERATOR[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -gline-tables-only -DNDEBUG" "${FAST_LINKER[@]}" \
  -DZYL_SANITIZE=address,undefined -DZYL_BUILD_FUZZ=ON -DZYL_BUILD_TESTS=OFF >/dev/null
cmake --build "$dir" -j "$JOBS" --target "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
artifacts=$ROOT/$dir/artifacts
mkdir -p "$artifacts"
passed=0
failed=0

for target in "${targets[@]}"; do
  corpus=$work/corpus-$target
  log=$work/$target.log
  cp -r "fuzz/corpus/$target" "$corpus"
  # A dictionary of the tokens the target's reader looks for, where the target has one.
  dictionary=()
  if [ -f "fuzz/dict/$target.dict" ]; then dictionary=(-dict="fuzz/dict/$target.dict"); fi
  started=$(date +%s)
  status=0
  # The dispatch target attaches a surface, which opens the server on 127.0.0.1:7890.
  scripts/isolated-net "$dir/bin/fuzz_$target" -max_total_time="$seconds" \
    -timeout="$input_timeout" -print_final_stats=1 -artifact_prefix="$artifacts/$target-" \
    "${dictionary[@]}" "$corpus" >"$log" 2>&1 || status=$?
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  if [ "$status" -eq 0 ] && [ -n "$executions" ] &&
    ! grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:|fuzz expectation failed' "$log"; then
    passed=$((passed + 1))
    verdict=passed
  else
    failed=$((failed + 1))
    verdict=FAILED
    tail -n 60 "$log"
  fi
  echo "fuzz $target: $verdict, ${executions:-0} executions in $(($(date +%s) - started)) s"
done

echo "fuzz: finished in $(($(date +%s) - LEG_START)) s"
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
