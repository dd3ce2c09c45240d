#!/usr/bin/env bash
# Configures, builds and runs every test. The build tree (default: build/) owns its
# own Wine prefix, so the user's default prefix is never touched.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$here/build}
jobs=$(nproc 2>/dev/null || echo 2)

cmake -S "$here" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "$jobs"
cd "$build"
ctest --output-on-failure "$@"
