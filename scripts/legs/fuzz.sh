#!/usr/bin/env bash
# The libFuzzer targets (fuzz/), one a core, each run for FUZZ_SECONDS (default 30) over a
# copy of its seed corpus (fuzz/corpus/) with its dictionary (fuzz/dict/). Any crash, leak, hang, broken
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
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -gline-tables-only -DNDEBUG" "${FAST_LINKER[@]}" "${UNITY[@]}" \
  -DZYL_SANITIZE=address,undefined -DZYL_BUILD_FUZZ=ON -DZYL_BUILD_TESTS=OFF >/dev/null
cmake --build "$dir" -j "$JOBS" --target "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
artifacts=$ROOT/$dir/artifacts
mkdir -p "$artifacts"
# Runs one target and leaves its verdict line in $work/$target.verdict.
run_target() {
  local target=$1
  local corpus=$work/corpus-$target log=$work/$target.log
  cp -r "fuzz/corpus/$target" "$corpus"
  # A dictionary of the tokens the target's reader looks for, where the target has one.
  local dictionary=()
  if [ -f "fuzz/dict/$target.dict" ]; then dictionary=(-dict="fuzz/dict/$target.dict"); fi
  local started status=0 executions verdict
  started=$(date +%s)
  # The dispatch target attaches a surface, which opens the server on 127.0.0.1:7890; each
  # target has a network of its own, so targets run side by side.
  scripts/isolated-net "$dir/bin/fuzz_$target" -max_total_time="$seconds" \
    -timeout="$input_timeout" -print_final_stats=1 -artifact_prefix="$artifacts/$target-" \
    "${dictionary[@]}" "$corpus" >"$log" 2>&1 || status=$?
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  if [ "$status" -eq 0 ] && [ -n "$executions" ] &&
    ! grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:|fuzz expectation failed' "$log"; then
    verdict=passed
  else
    verdict=FAILED
  fi
  echo "fuzz $target: $verdict, ${executions:-0} executions in $(($(date +%s) - started)) s" \
    >"$work/$target.verdict"
}

# One target a core: each is a single process.
for target in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$JOBS" ]; do wait -n || true; done
  run_target "$target" &
done
wait

passed=0
failed=0
for target in "${targets[@]}"; do
  verdict=$(cat "$work/$target.verdict" 2>/dev/null || echo "fuzz $target: FAILED, no verdict")
  echo "$verdict"
  case "$verdict" in
    *": passed,"*) passed=$((passed + 1)) ;;
    *) failed=$((failed + 1)); tail -n 60 "$work/$target.log" ;;
  esac
done

echo "fuzz: finished in $(($(date +%s) - LEG_START)) s"
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
