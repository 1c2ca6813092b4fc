# Shared by the test legs: the repository root, a generator, and leg timing.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
cd "$ROOT"
if command -v ninja >/dev/null; then GENERATOR=(-G Ninja); else GENERATOR=(); fi
JOBS=${JOBS:-$(nproc)}
LEG_START=$(date +%s)
leg_done() { echo "leg $1: passed in $(( $(date +%s) - LEG_START )) s"; }
