#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, when they are missing.
# As root it uses apt-get; elsewhere it names the packages to install.
set -euo pipefail

packages=(cmake ninja-build g++ clang lld libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev
  libssl-dev nlohmann-json3-dev iproute2 util-linux python3 python3-websockets python3-jsonschema
  g++-mingw-w64-x86-64-posix wine64 googletest chromium zip node-typescript)
if [ "$#" -gt 0 ]; then packages=("$@"); fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[ "${#missing[@]}" -eq 0 ] && exit 0

if [ "$(id -u)" != 0 ]; then
  echo "install-deps: please install these Debian packages: ${missing[*]}" >&2
  exit 1
fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
