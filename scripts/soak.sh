#!/usr/bin/env bash
# Endurance run, not part of CI: the simulator with sixteen clients for a given time
# (default 60 minutes), detached and attached every minute, its settings files rewritten
# every five minutes, in a private settings folder and a private loopback network.
# One JSON line a minute (resident memory, descriptors, threads, reply latency, replies
# checked and wrong) goes to the log, the summary with the ledger last.
#   scripts/soak.sh [--minutes N] [--build DIR] [--log FILE]
# Exit 0 when every reply was right and the ledger balanced.
set -euo pipefail
cd "$(dirname "$0")/.."
minutes=60
build=build
log=""
while [ $# -gt 0 ]; do
  case "$1" in
    --minutes) minutes=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    --log) log=$2; shift 2 ;;
    *) echo "usage: scripts/soak.sh [--minutes N] [--build DIR] [--log FILE]" >&2; exit 2 ;;
  esac
done
hostsim="$(cd "$build" && pwd)/bin/zyl-hostsim"
[ -x "$hostsim" ] || { echo "soak: no $hostsim; build the zyl-hostsim target first" >&2; exit 2; }
settings=$(mktemp -d "${TMPDIR:-/tmp}/zyl-soak-settings.XXXXXX")
trap 'rm -rf "$settings"' EXIT
[ -n "$log" ] || log="$PWD/soak-$(date -u +%Y%m%dT%H%M%SZ).log"
echo "soak: $minutes min, log $log; machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
# Debian's Python carries python3-websockets; another python3 may come first on PATH.
scripts/isolated-net /usr/bin/python3 scripts/soak.py --hostsim "$hostsim" \
  --settings "$settings" --minutes "$minutes" --log "$log"
