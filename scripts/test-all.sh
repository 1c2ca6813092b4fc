#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test leg. Each leg is a script of its own
# under scripts/legs/ that anyone can run alone.
set -euo pipefail
cd "$(dirname "$0")/.."
start=$(date +%s)
scripts/install-deps.sh
legs=(native interop "sanitize address,undefined" "sanitize thread" fuzz windows)
for leg in "${legs[@]}"; do
  read -r name arguments <<<"$leg"
  echo "=== leg: $leg"
  # shellcheck disable=SC2086
  scripts/legs/$name.sh $arguments
done
echo "all legs passed in $(( $(date +%s) - start )) s"
