#!/usr/bin/env bash
# What this machine can run, asked in one place for every script and for CMake.
#
# Some Linux kernels run 64-bit programs only (IA-32 emulation off). There no
# 32-bit Linux program starts, Wine's 32-bit loader included, so no 32-bit
# Windows program runs under Wine either: not the 32-bit build's tests, not the
# 32-bit regsvr32 of a 64-bit prefix. The question is answered by starting the
# 32-bit loader, not guessed from the kernel's name.
#
# Sourced:  . scripts/machine.sh; if tavrinolex_runs_32bit; then ...; fi
#           "$TAVRINOLEX_RUNS_32BIT_WHY" then says why not, in one line;
#           tavrinolex_build_of names an architecture's build tree and toolchain,
#           tavrinolex_configure configures it, and tavrinolex_choose_build picks
#           the build of the main command.
# Run:      bash scripts/machine.sh runs-32bit   exit 0 if it can, 1 if not (prints why)
#
# TAVRINOLEX_RUN32=yes or no forces the answer, to check either kind of run on
# one machine (a "no" on a machine that can run them skips what such a machine
# would skip).

tavrinolex_wine32_loader=${TAVRINOLEX_WINE32_LOADER:-/usr/lib/wine/wine}
tavrinolex_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

tavrinolex_runs_32bit() {
    if [ -n "${TAVRINOLEX_RUNS_32BIT_ANSWER:-}" ]; then
        [ "$TAVRINOLEX_RUNS_32BIT_ANSWER" = yes ]
        return
    fi
    local answer=yes why=
    case "${TAVRINOLEX_RUN32:-}" in
    yes | 1 | on | ON) ;;
    no | 0 | off | OFF)
        answer=no
        why="TAVRINOLEX_RUN32=$TAVRINOLEX_RUN32: run as a machine that cannot start 32-bit programs"
        ;;
    *)
        local out
        if [ ! -x "$tavrinolex_wine32_loader" ]; then
            answer=no
            why="Wine's 32-bit loader $tavrinolex_wine32_loader is not installed (run scripts/setup.sh)"
        elif ! out=$("$tavrinolex_wine32_loader" --version 2>&1 </dev/null); then
            answer=no
            # The shell's own complaint names the cause ("Exec format error").
            out=$(printf '%s' "$out" | tail -1 | sed 's/^.*: //')
            why="this machine cannot start 32-bit programs ($tavrinolex_wine32_loader --version: ${out:-failed}); its kernel runs 64-bit programs only"
        fi
        ;;
    esac
    TAVRINOLEX_RUNS_32BIT_ANSWER=$answer
    TAVRINOLEX_RUNS_32BIT_WHY=$why
    export TAVRINOLEX_RUNS_32BIT_ANSWER TAVRINOLEX_RUNS_32BIT_WHY
    [ "$answer" = yes ]
}

# The build tree and toolchain of an architecture, for every script: the 32-bit
# build in $BUILD_DIR or build/, the 64-bit one in $BUILD64_DIR or build64/.
#   tavrinolex_build_of <x86|x64>      sets tavrinolex_build and tavrinolex_toolchain
tavrinolex_build_of() {
    if [ "$1" = x86 ]; then
        tavrinolex_build=${BUILD_DIR:-$tavrinolex_root/build}
        tavrinolex_toolchain=$tavrinolex_root/cmake/mingw-i686.cmake
    else
        tavrinolex_build=${BUILD64_DIR:-$tavrinolex_root/build64}
        tavrinolex_toolchain=$tavrinolex_root/cmake/mingw-x86_64.cmake
    fi
}

# Configures the build tree of an architecture with this machine's answer and
# its reason, so that the build skips what the scripts expect it to skip, saying
# why, whoever configured it first. The 64-bit build gets the 32-bit build's DLL
# when that is built (its package ships it, its tests register it beside the
# 64-bit one). Sets what tavrinolex_build_of sets.
#   tavrinolex_configure <x86|x64> [cmake arguments ...]
tavrinolex_configure() {
    local arch=$1 runs32=OFF more=()
    shift
    tavrinolex_runs_32bit && runs32=ON
    if [ "$arch" = x64 ]; then
        tavrinolex_build_of x86
        local x86_dll=$tavrinolex_build/bin/Tavrinolex.dll
        [ -f "$x86_dll" ] || x86_dll=
        more=(-DTAVRINOLEX_X86_DLL="$x86_dll")
    fi
    tavrinolex_build_of "$arch"
    cmake -S "$tavrinolex_root" -B "$tavrinolex_build" -DCMAKE_TOOLCHAIN_FILE="$tavrinolex_toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DTAVRINOLEX_RUNS_32BIT=$runs32 \
        -DTAVRINOLEX_NO_32BIT_WHY="${TAVRINOLEX_RUNS_32BIT_WHY:-}" "${more[@]}" "$@"
}

# The build that runs the main command and the benchmark: the 32-bit one, as the
# 32-bit search hosts load it, where 32-bit programs start, and the 64-bit one
# otherwise. TAVRINOLEX_ARCH=x86 or x64 chooses. Sets tavrinolex_arch (x86 or x64)
# and what tavrinolex_build_of sets; says in one line on standard error when it
# takes the 64-bit build by itself. Returns 1, with the reason on standard error,
# when the chosen build cannot run here.
#   tavrinolex_choose_build <who, for the messages>
tavrinolex_choose_build() {
    local who=$1
    case "${TAVRINOLEX_ARCH:-}" in
    x86)
        if ! tavrinolex_runs_32bit; then
            echo "$who: TAVRINOLEX_ARCH=x86, but $TAVRINOLEX_RUNS_32BIT_WHY; use TAVRINOLEX_ARCH=x64" >&2
            return 1
        fi
        tavrinolex_arch=x86
        ;;
    x64) tavrinolex_arch=x64 ;;
    "" | both)
        if tavrinolex_runs_32bit; then
            tavrinolex_arch=x86
        else
            tavrinolex_arch=x64
            echo "$who: using the 64-bit build: $TAVRINOLEX_RUNS_32BIT_WHY" >&2
        fi
        ;;
    *)
        echo "$who: TAVRINOLEX_ARCH must be x86 or x64" >&2
        return 1
        ;;
    esac
    tavrinolex_build_of "$tavrinolex_arch"
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    case "${1:-}" in
    runs-32bit)
        if tavrinolex_runs_32bit; then
            echo yes
            exit 0
        fi
        echo "no: $TAVRINOLEX_RUNS_32BIT_WHY"
        exit 1
        ;;
    *)
        echo "usage: bash scripts/machine.sh runs-32bit" >&2
        exit 2
        ;;
    esac
fi
