#!/usr/bin/env bash
# Fails when a source file under src/ includes a room above its own. The rooms, bottom to
# top: platform, server, host, timeline and vitals, protocol, plugin; each may include
# itself, the rooms below it and the SDK stand-in. Calls that must go up go through an
# interface the upper room passes down (a message handler, an event sink).
# Inside protocol, the two protocols keep to their own rooms: protocol/text (the text
# protocol) and protocol/json (the JSON protocol) never include each other; what both use
# lives in protocol itself, beside them.
set -euo pipefail
cd "$(dirname "$0")/../src"

declare -A allowed=(
  [platform]="platform"
  [server]="platform server"
  [host]="platform hostsdk host"
  [timeline]="platform hostsdk host timeline"
  [vitals]="platform hostsdk server host timeline vitals"
  [protocol]="platform hostsdk server host timeline vitals protocol"
  [plugin]="platform hostsdk server host timeline vitals protocol plugin"
)

faults=0
for room in */; do
  room=${room%/}
  if [ -z "${allowed[$room]+set}" ]; then
    echo "check-rooms: src/$room is no known room; add it to scripts/check-rooms.sh" >&2
    faults=$((faults + 1))
    continue
  fi
  while IFS=: read -r file line target; do
    included=${target%%/*}
    if [[ " ${allowed[$room]} " != *" $included "* ]]; then
      echo "check-rooms: src/$file:$line includes \"$target\", above the $room room" >&2
      faults=$((faults + 1))
    fi
  done < <(grep -rnoE '^#include "[^"]+/[^"]+"' "$room" | sed -E 's/#include "([^"]+)"/\1/')
done
# Each protocol's room, with the other protocol's room it must not include.
declare -A apart=([protocol/text]="protocol/json" [protocol/json]="protocol/text")
for room in "${!apart[@]}"; do
  if [ ! -d "$room" ]; then
    echo "check-rooms: src/$room is gone; update scripts/check-rooms.sh" >&2
    faults=$((faults + 1))
    continue
  fi
  while IFS=: read -r file line target; do
    echo "check-rooms: src/$file:$line includes \"$target\" from the other protocol's room" >&2
    faults=$((faults + 1))
  done < <(grep -rnoE "^#include \"${apart[$room]}/[^\"]+\"" "$room" | sed -E 's/#include "([^"]+)"/\1/')
done

if [ "$faults" -gt 0 ]; then
  echo "check-rooms: $faults include(s) run against the rooms' order" >&2
  exit 1
fi
echo "check-rooms: every include points down"
