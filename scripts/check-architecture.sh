#!/usr/bin/env bash
# Fails when docs/ARCHITECTURE.md names a file, folder or function that does not exist. A
# name in backquotes that holds a "/" is a path: under the repository's root, or under src/
# for the engine's rooms (as the guide writes them: `server/Handshake.cpp`). One that is a
# capitalised identifier (`GetAngleCommand`, `ProtocolRouter::Opened`) must be defined or
# declared somewhere under src/.
set -euo pipefail
cd "$(dirname "$0")/.."

guide=docs/ARCHITECTURE.md
faults=0
while IFS= read -r name; do
  # Commands and texts in backquotes are no paths.
  case "$name" in *" "* | *"<"* | *"*"* | *":"* | *"{"* | http* | -*) continue ;; esac
  if [ ! -e "$name" ] && [ ! -e "src/$name" ]; then
    echo "check-architecture: $guide names $name, which does not exist" >&2
    faults=$((faults + 1))
  fi
done < <(grep -oE '`[^`]*/[^`]*`' "$guide" | tr -d '`' | sort -u)
while IFS= read -r name; do
  if ! grep -rqwE -- "${name##*::}" src; then
    echo "check-architecture: $guide names $name, which src/ does not hold" >&2
    faults=$((faults + 1))
  fi
done < <(grep -oE '`[A-Z][A-Za-z0-9]*(::[A-Z][A-Za-z0-9]*)?`' "$guide" | tr -d '`' | sort -u)
if [ "$faults" -gt 0 ]; then
  echo "check-architecture: $faults name(s) in $guide point nowhere" >&2
  exit 1
fi
echo "check-architecture: every file and function $guide names exists"
