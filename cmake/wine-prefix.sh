#!/usr/bin/env bash
# One recipe for every Wine prefix the project owns: the build's test prefix
# (wine-run.sh), the main command's (show-run.sh) and the package tests' template
# and its copies (tests/packages/package_tests.py). Each is made once, marked
# ready, and booted with its services detached; every program in it runs with
# the same environment.
#
# Sourced:  . cmake/wine-prefix.sh
#           tavrinolex_wine_environment <prefix> <win32|win64>
#           tavrinolex_wine_boot <loader> [--keep-server]    (after the environment)
#           tavrinolex_wine_stop                             (after the environment)
# Run:      bash cmake/wine-prefix.sh env <prefix> <win32|win64>    NAME=value lines
#           bash cmake/wine-prefix.sh boot <prefix> <win32|win64> <loader> [--keep-server]
#           bash cmake/wine-prefix.sh stop <prefix>
# <loader> is the Wine loader of the prefix's kind; messages start with
# "$tavrinolex_wine_who: " (the caller's name; "wine-prefix" unless set).

# Exports WINEPREFIX, WINEARCH, WINEDEBUG and WINEDLLOVERRIDES.
tavrinolex_wine_environment() {
    export WINEPREFIX=$1 WINEARCH=$2
    # Debug channels only change what Wine prints on standard error, and a relay
    # trace (WINEDEBUG=+relay) is how the filter's platform calls are counted: the
    # caller's choice is kept.
    export WINEDEBUG=${WINEDEBUG:--all}
    # Forced, whatever the caller's shell says: without these a crashing program
    # waits for Wine's debugger until the test's time runs out, and Wine offers to
    # install Mono and Gecko in a prefix that has no display. Tests and the main
    # command must not depend on overrides left in someone's profile.
    export WINEDLLOVERRIDES='mscoree,mshtml=;winedbg.exe=d'
}

tavrinolex_wine_fail() {
    echo "${tavrinolex_wine_who:-wine-prefix}: $*" >&2
    return 1
}

# Makes the prefix when it is not ready yet, then boots it. With --keep-server
# one wineserver stays alive until tavrinolex_wine_stop (a test run); without,
# the server ends by itself a few seconds after the last program.
tavrinolex_wine_boot() {
    local wine=$1 keep=${2:-}
    [ -x "$wine" ] || tavrinolex_wine_fail "the Wine loader $wine is not installed: run scripts/setup.sh" || return
    mkdir -p "$WINEPREFIX" || tavrinolex_wine_fail "cannot make the folder $WINEPREFIX" || return
    if [ "$keep" = --keep-server ]; then
        wineserver -p >/dev/null 2>&1 </dev/null || true
    fi
    if [ ! -f "$WINEPREFIX/.tavrinolex-ready" ]; then
        echo "${tavrinolex_wine_who:-wine-prefix}: creating the Wine prefix $WINEPREFIX (once)" >&2
        "$wine" wineboot -i >/dev/null 2>&1 </dev/null \
            || tavrinolex_wine_fail "wineboot could not create the Wine prefix $WINEPREFIX" || return
        # No display here: the null driver still lets COM make its hidden windows.
        "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1 </dev/null \
            || tavrinolex_wine_fail "cannot select Wine's null display driver in $WINEPREFIX" || return
        touch "$WINEPREFIX/.tavrinolex-ready"
    fi
    # The first Wine process starts the prefix's services, which outlive it and
    # would hold the output pipe of whatever ran it (a test, the caller's
    # terminal) open: start them here, detached.
    "$wine" wineboot >/dev/null 2>&1 </dev/null || tavrinolex_wine_fail "Wine does not start in $WINEPREFIX"
}

tavrinolex_wine_stop() {
    wineserver -k >/dev/null 2>&1 </dev/null
    wineserver -w >/dev/null 2>&1 </dev/null
    return 0
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    case "${1:-}" in
    env)
        [ $# -eq 3 ] || { echo "usage: wine-prefix.sh env <prefix> <win32|win64>" >&2; exit 2; }
        tavrinolex_wine_environment "$2" "$3"
        for name in WINEPREFIX WINEARCH WINEDEBUG WINEDLLOVERRIDES; do
            printf '%s=%s\n' "$name" "${!name}"
        done
        ;;
    boot)
        [ $# -ge 4 ] || { echo "usage: wine-prefix.sh boot <prefix> <win32|win64> <loader> [--keep-server]" >&2; exit 2; }
        tavrinolex_wine_environment "$2" "$3"
        tavrinolex_wine_boot "$4" "${5:-}" || exit 1
        ;;
    stop)
        [ $# -eq 2 ] || { echo "usage: wine-prefix.sh stop <prefix>" >&2; exit 2; }
        export WINEPREFIX=$2
        tavrinolex_wine_stop
        ;;
    *)
        echo "usage: wine-prefix.sh env|boot|stop <prefix> ..." >&2
        exit 2
        ;;
    esac
fi
