#!/usr/bin/env bash
# The Windows product: the module, the simulator and the tests cross-built with mingw-w64,
# then the whole test suite (end-to-end tests included) run under Wine in a private network,
# then the release archive made from the same build and checked: what the module exports and
# imports, and that the module taken from the archive answers under Wine.
source "$(dirname "$0")/common.sh"
trap 'status=$?; [ "$status" -eq 0 ] || echo "leg windows: failed after $(( $(date +%s) - LEG_START )) s"' EXIT
scripts/install-deps.sh cmake ninja-build g++-mingw-w64-x86-64-posix wine wine64 googletest \
  nlohmann-json3-dev iproute2 util-linux zip python3 python3-websockets

# Release, as shipped: the archive below is made from this very build. -O2 rather than -O3:
# at -O3 GCC 12 warns falsely (-Warray-bounds) where the tests join a literal and a string.
dir=build-windows
cmake -S . -B "$dir" "${GENERATOR[@]}" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-w64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DZYL_BUILD_TESTS=ON -DZYL_BUILD_BENCH=OFF "${UNITY[@]}" \
  -DZYL_BUILD_FUZZ=OFF >/dev/null

# The same headless prefix as the toolchain's emulator uses, made before the build so that
# parallel test discoveries never race to create it.
export WINEPREFIX=$ROOT/$dir/wineprefix WINEDEBUG=-all DISPLAY=
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i >/dev/null 2>&1
fi
wineserver -w

cmake --build "$dir" -j "$JOBS"

# The test programs run in three groups side by side: server_tests, by far the longest, split
# in two by GoogleTest's sharding, and the others. Wine's sockets live in its wineserver,
# one a prefix, so each group has a copy of the prefix and a private network of its own,
# where it binds 127.0.0.1:7890. A wineserver left over from the build would hold sockets in
# the shared network: it is ended first.
wineserver -k 2>/dev/null || true
wineserver -w
# test_group NAME PROGRAM... runs the programs one after another; output goes to $logs/NAME.
test_group() {
  local name=$1
  shift
  local prefix=$ROOT/$dir/wineprefix-$name
  rm -rf "$prefix"
  cp -a "$WINEPREFIX" "$prefix"
  WINEPREFIX=$prefix scripts/isolated-net bash -c '
    status=0
    for program in "$@"; do
      echo "--- $program ${GTEST_SHARD_INDEX:+(shard $GTEST_SHARD_INDEX of $GTEST_TOTAL_SHARDS)}"
      timeout 300 wine "$program" --gtest_brief=1 || status=1
    done
    wineserver -k 2>/dev/null || true
    wineserver -w
    exit $status' "windows-tests-$name" "$@" >"$logs/$name" 2>&1
}
logs=$(mktemp -d)
others=()
for program in "$dir"/bin/*_tests.exe; do
  [ "$program" = "$dir/bin/server_tests.exe" ] || others+=("$program")
done
GTEST_TOTAL_SHARDS=2 GTEST_SHARD_INDEX=0 test_group server-0 "$dir/bin/server_tests.exe" &
GTEST_TOTAL_SHARDS=2 GTEST_SHARD_INDEX=1 test_group server-1 "$dir/bin/server_tests.exe" &
test_group others "${others[@]}" &
failed=0
for group in $(jobs -p); do wait "$group" || failed=1; done
cat "$logs"/*
rm -rf "$logs" "$ROOT/$dir"/wineprefix-*
[ "$failed" -eq 0 ] || { echo "windows tests: a group failed (output above)"; exit 1; }

archive=$(ZYL_PACKAGE_BUILD_DIR=$dir JOBS=$JOBS scripts/package.sh)
scripts/isolated-net bash -c '
  /usr/bin/python3 scripts/check-windows-package.py "$1" "$2"
  status=$?
  wineserver -k 2>/dev/null || true
  wineserver -w
  exit $status' package-check "$archive" "$dir/bin/zyl-hostsim.exe"
leg_done windows
