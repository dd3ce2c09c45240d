#!/usr/bin/env bash
# Configures, builds and runs every test for both DLLs: the 32-bit build in build/
# (or $BUILD_DIR) and the 64-bit build in build64/ (or $BUILD64_DIR). Each build tree
# owns its own Wine prefix: 32-bit for the 32-bit build, 64-bit for the 64-bit one,
# so the user's default prefix is never touched. TAVRINOLEX_ARCH=x86 or x64 limits
# the run to one build. Extra arguments go to ctest.
#
# On a machine that cannot start 32-bit programs (scripts/machine.sh asks), the
# 32-bit build is still compiled and its DLL checked, its Wine tests are skipped,
# and the tests that belong to the 32-bit build alone run in the 64-bit build.
# TAVRINOLEX_RUN32=no runs as such a machine would.
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

. "$here/scripts/machine.sh"
if tavrinolex_runs_32bit; then
    runs32=ON
else
    runs32=OFF
    echo "test: $TAVRINOLEX_RUNS_32BIT_WHY" >&2
fi

for b in "${builds[@]}"; do
    if [ "$b" = x86 ]; then
        cmake -S "$here" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-i686.cmake" \
            -DCMAKE_BUILD_TYPE=Release -DTAVRINOLEX_RUNS_32BIT=$runs32 >/dev/null
        cmake --build "$build" -j "$jobs"
    else
        # The 64-bit tests register the 32-bit DLL beside the 64-bit one, when it is built.
        x86_dll=$build/bin/Tavrinolex.dll
        [ -f "$x86_dll" ] || x86_dll=
        cmake -S "$here" -B "$build64" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-x86_64.cmake" \
            -DCMAKE_BUILD_TYPE=Release -DTAVRINOLEX_X86_DLL="$x86_dll" -DTAVRINOLEX_RUNS_32BIT=$runs32 >/dev/null
        cmake --build "$build64" -j "$jobs"
    fi
done

failed=()
summary=()
for b in "${builds[@]}"; do
    dir=$build
    [ "$b" = x64 ] && dir=$build64
    echo "== $b tests ($dir)"
    log=$dir/Testing/test-run.log
    mkdir -p "$(dirname "$log")"
    if (cd "$dir" && ctest --output-on-failure "$@") 2>&1 | tee "$log"; then :; else failed+=("$b"); fi
    # What ran and what was skipped, from CTest's own account.
    ran=$(grep -cE '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .*(Passed|Failed|Timeout|Exception)' "$log" || true)
    skipped=$(grep -E '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .*Skipped' "$log" |
        sed -E 's/^.*Test +#[0-9]+: ([^ ]+) .*/\1/' | tr '\n' ' ' || true)
    line="$b build: $ran test$([ "$ran" = 1 ] || echo s) ran"
    [ -n "$skipped" ] && line+=", skipped: ${skipped% }"
    summary+=("$line")
done

echo
echo "== summary"
for line in "${summary[@]}"; do
    echo "test: $line"
done
if [ "$runs32" = OFF ]; then
    echo "test: $TAVRINOLEX_RUNS_32BIT_WHY."
    echo "test: so the 32-bit build was compiled and its DLL checked (dll.format), but its Wine tests"
    echo "test: (wine.tests) and the 64-bit build's test that starts the 32-bit regsvr32"
    echo "test: (registration_views) were skipped; the fuzzer and the main command's tests ran in the"
    echo "test: 64-bit build instead. To run them all, run bash scripts/test.sh on a machine with IA-32"
    echo "test: emulation."
fi
if [ ${#failed[@]} -gt 0 ]; then
    echo "test: failures in the ${failed[*]} build" >&2
    exit 1
fi
