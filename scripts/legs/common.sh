# Shared by the test legs: the repository root, a generator, and leg timing.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
cd "$ROOT"
if command -v ninja >/dev/null; then GENERATOR=(-G Ninja); else GENERATOR=(); fi
JOBS=${JOBS:-$(nproc)}
# Debian's lld links the test programs faster than the default linker (mingw keeps its own).
if command -v ld.lld >/dev/null; then FAST_LINKER=(-DZYL_LINKER=lld); else FAST_LINKER=(); fi
# The legs build each target as one translation unit: every header is read and every inline
# function compiled once a target instead of once a file, which makes a whole build several
# times cheaper. A developer's own build keeps one unit a file for quick rebuilds.
UNITY=(-DCMAKE_UNITY_BUILD=ON -DCMAKE_UNITY_BUILD_BATCH_SIZE=0)
LEG_START=$(date +%s)
leg_done() { echo "leg $1: passed in $(( $(date +%s) - LEG_START )) s"; }
