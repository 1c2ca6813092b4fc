#!/usr/bin/env bash
# Installs this module's pinned dependencies, Node 22 among them (from npm, for this folder
# only: the machine's own Node may be older), and builds the package Companion installs.
# Prints the package's path on standard output; everything else goes to standard error.
set -euo pipefail
cd "$(dirname "$0")"
if ! command -v npm >/dev/null; then
  echo "companion module: npm is needed (Debian: nodejs npm)" >&2
  exit 1
fi
npm ci --no-audit --no-fund --loglevel=error >&2
node_modules/.bin/node --version | grep -q '^v22\.' || {
  echo "companion module: node_modules/.bin/node is not Node 22" >&2
  exit 1
}
# npm puts node_modules/.bin first on the PATH of a script, so the build runs on Node 22.
npm run --silent build >&2
version=$(node_modules/.bin/node -p 'require("./package.json").version')
echo "$PWD/zyl-engine-$version.tgz"
