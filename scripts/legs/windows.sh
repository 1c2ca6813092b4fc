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
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DZYL_BUILD_TESTS=ON -DZYL_BUILD_BENCH=OFF \
  -DZYL_BUILD_FUZZ=OFF >/dev/null

# The same headless prefix as the toolchain's emulator uses, made before the build so that
# parallel test discoveries never race to create it.
export WINEPREFIX=$ROOT/$dir/wineprefix WINEDEBUG=-all DISPLAY=
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i >/dev/null 2>&1
fi
wineserver -w

cmake --build "$dir" -j "$JOBS"

# Wine's sockets live in its wineserver: one left over from the build would open them in
# the shared network, so the tests start their own inside the private one.
wineserver -k 2>/dev/null || true
wineserver -w
scripts/isolated-net bash -c '
  ctest --test-dir "$1" --output-on-failure --timeout 300
  status=$?
  wineserver -k 2>/dev/null || true
  wineserver -w
  exit $status' windows-tests "$dir"

archive=$(ZYL_PACKAGE_BUILD_DIR=$dir JOBS=$JOBS scripts/package.sh)
scripts/isolated-net bash -c '
  /usr/bin/python3 scripts/check-windows-package.py "$1" "$2"
  status=$?
  wineserver -k 2>/dev/null || true
  wineserver -w
  exit $status' package-check "$archive" "$dir/bin/zyl-hostsim.exe"
leg_done windows
