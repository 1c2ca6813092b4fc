#!/usr/bin/env bash
# Builds the Windows module in Release with mingw-w64 and writes
# dist/ZYL_Engine-<version>-windows-x64.zip: the module, the Companion module's package, the
# console page, both clients, the install notes, the licence and SHA256SUMS. Files are
# stored in name order with one fixed time stamp, so the same sources give the same archive.
# ZYL_PACKAGE_BUILD_DIR=DIR uses (or makes) that build folder; it must be a Release cross build.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
if command -v ninja >/dev/null; then GENERATOR=(-G Ninja); else GENERATOR=(); fi
JOBS=${JOBS:-$(nproc)}
BUILD_DIR=${ZYL_PACKAGE_BUILD_DIR:-build-package}

cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$BUILD_DIR/CMakeCache.txt"; }

if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
  cmake -S . -B "$BUILD_DIR" "${GENERATOR[@]}" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-w64.cmake \
    -DCMAKE_BUILD_TYPE=Release -DZYL_BUILD_TESTS=OFF -DZYL_BUILD_BENCH=OFF -DZYL_BUILD_FUZZ=OFF >/dev/null
fi
# The toolchain may have been given relative to the repository root or absolute.
toolchain=$(cd "$ROOT" && realpath -m "$(cache_value CMAKE_TOOLCHAIN_FILE)")
if [ "$(cache_value CMAKE_BUILD_TYPE)" != Release ] ||
  [ "$toolchain" != "$ROOT/cmake/toolchain-mingw-w64.cmake" ]; then
  echo "package: $BUILD_DIR is not a Release build with cmake/toolchain-mingw-w64.cmake" >&2
  exit 2
fi
# Build output goes to stderr: stdout names the archive, for scripts.
cmake --build "$BUILD_DIR" -j "$JOBS" --target ZYL_Engine >&2

VERSION=$(cache_value CMAKE_PROJECT_VERSION)
NAME=ZYL_Engine-$VERSION-windows-x64
STAGE=$(mktemp -d)
trap 'rm -rf "$STAGE"' EXIT
TOP=$STAGE/$NAME
mkdir -p "$TOP"

cp "$BUILD_DIR/bin/ZYL_Engine.acsrf" "$TOP/"
sed "s/@VERSION@/$VERSION/g" scripts/package/INSTALL.txt >"$TOP/INSTALL.txt"
cp LICENSE "$TOP/"
# One time stamp (the last commit's) for everything, so that nothing about this machine or
# this moment gets into the archive.
STAMP=$(git log -1 --format=%ct)

# The Companion module's package, as Companion installs it. Its build takes Node 22 from npm
# for that folder alone. The build's folder is packed again with the archive's time stamp:
# the same files, and the same package for the same sources.
command -v npm >/dev/null || scripts/install-deps.sh nodejs npm
module_package=$(integrations/companion/build.sh)
if [ "$(basename "$module_package")" != "zyl-engine-$VERSION.tgz" ]; then
  echo "package: the Companion module is not at the engine's version $VERSION (integrations/companion/package.json)" >&2
  exit 2
fi
tar --sort=name --mtime="@$STAMP" --owner=0 --group=0 --numeric-owner --mode='u=rwX,go=rX' \
  -C integrations/companion/pkg -cf - zyl-engine | gzip -n -9 >"$TOP/zyl-engine-$VERSION.tgz"

# Tracked files only: no node_modules, caches or anything else a test run left behind.
git ls-files -z examples/console clients/js clients/python | while IFS= read -r -d '' file; do
  mkdir -p "$TOP/$(dirname "$file")"
  cp "$file" "$TOP/$file"
done

(cd "$TOP" && find . -type f ! -name SHA256SUMS -printf '%P\n' | LC_ALL=C sort |
  xargs -d '\n' sha256sum >SHA256SUMS)

# Fixed permissions and the one time stamp.
find "$TOP" -type d -exec chmod 755 {} +
find "$TOP" -type f -exec chmod 644 {} +
find "$TOP" -exec touch -h -d "@$STAMP" {} +

mkdir -p dist
ARCHIVE=$ROOT/dist/$NAME.zip
rm -f "$ARCHIVE"
(cd "$STAGE" && find "$NAME" -type f | LC_ALL=C sort | TZ=UTC zip -q -X -D "$ARCHIVE" -@)
echo "$ARCHIVE"
