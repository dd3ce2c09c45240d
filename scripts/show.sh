#!/usr/bin/env bash
# The main command: shows what a search host indexes from a CHM.
#   bash scripts/show.sh [file.chm | folder] [filterdump options ...]
# With no file it shows the sample help file built from docs/. The first run
# installs what is missing, builds, and makes a Wine prefix of its own beside the
# build, with the filter and its stand-ins registered; later runs reuse all that.
# It runs the 32-bit build (build/, or $BUILD_DIR) where 32-bit programs start,
# and the 64-bit build (build64/, or $BUILD64_DIR) where they cannot;
# TAVRINOLEX_ARCH=x86 or x64 chooses.
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc 2>/dev/null || echo 2)

if ! setup_out=$(bash "$here/scripts/setup.sh" 2>&1); then
    echo "show: installing the tools failed (run as root on Debian 12):" >&2
    printf '%s\n' "$setup_out" | tail -5 >&2
    exit 1
fi

. "$here/scripts/machine.sh"
tavrinolex_choose_build show || exit 1
build=$tavrinolex_build

mkdir -p "$build"
log=$build/show-build.log
if [ ! -f "$build/CMakeCache.txt" ]; then
    echo "show: building into $build (the first time takes a few minutes; log: $log)" >&2
fi
# Configure only when the build does not know the main command yet.
if [ ! -x "$build/show-run.sh" ]; then
    tavrinolex_configure "$tavrinolex_arch" >"$log" 2>&1 \
        || { echo "show: configuring the build failed; the end of $log:" >&2; tail -20 "$log" >&2; exit 1; }
fi
cmake --build "$build" -j "$jobs" --target show_parts >>"$log" 2>&1 \
    || { echo "show: the build failed; the end of $log:" >&2; tail -20 "$log" >&2; exit 1; }

exec "$build/show-run.sh" "$@"
