#!/usr/bin/env bash
# Configures, builds and runs every test for both DLLs: the 32-bit build in build/
# (or $BUILD_DIR) and the 64-bit build in build64/ (or $BUILD64_DIR). Each build tree
# owns its own Wine prefix: 32-bit for the 32-bit build, 64-bit for the 64-bit one,
# so the user's default prefix is never touched. TAVRINOLEX_ARCH=x86 or x64 limits
# the run to one build. Extra arguments go to ctest.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$here/build}
build64=${BUILD64_DIR:-$here/build64}
arch=${TAVRINOLEX_ARCH:-both}
jobs=$(nproc 2>/dev/null || echo 2)

case "$arch" in
both) builds=(x86 x64) ;;
x86 | x64) builds=("$arch") ;;
*) echo "TAVRINOLEX_ARCH must be x86, x64 or both" >&2; exit 2 ;;
esac

for b in "${builds[@]}"; do
    if [ "$b" = x86 ]; then
        cmake -S "$here" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-i686.cmake" \
            -DCMAKE_BUILD_TYPE=Release >/dev/null
        cmake --build "$build" -j "$jobs"
    else
        # The 64-bit tests register the 32-bit DLL beside the 64-bit one, when it is built.
        x86_dll=$build/bin/Tavrinolex.dll
        [ -f "$x86_dll" ] || x86_dll=
        cmake -S "$here" -B "$build64" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-x86_64.cmake" \
            -DCMAKE_BUILD_TYPE=Release -DTAVRINOLEX_X86_DLL="$x86_dll" >/dev/null
        cmake --build "$build64" -j "$jobs"
    fi
done

failed=()
for b in "${builds[@]}"; do
    dir=$build
    [ "$b" = x64 ] && dir=$build64
    echo "== $b tests ($dir)"
    (cd "$dir" && ctest --output-on-failure "$@") || failed+=("$b")
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "test: failures in the ${failed[*]} build" >&2
    exit 1
fi
