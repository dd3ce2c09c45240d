#!/usr/bin/env bash
# Configures, builds and runs every test for both DLLs: the 32-bit build in build/
# (or $BUILD_DIR) and the 64-bit build in build64/ (or $BUILD64_DIR). Each build tree
# owns its own Wine prefix: 32-bit for the 32-bit build, 64-bit for the 64-bit one,
# so the user's default prefix is never touched. TAVRINOLEX_ARCH=x86 or x64 limits
# the run to one build. Extra arguments go to ctest.
#
# On a machine that cannot start 32-bit programs (scripts/machine.sh asks), the
# 32-bit build is still compiled and its DLL checked; the tests that cannot run
# there report themselves skipped, each saying why, and the summary repeats what
# CTest reported. TAVRINOLEX_RUN32=no runs as such a machine would.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc 2>/dev/null || echo 2)

case "${TAVRINOLEX_ARCH:-both}" in
both) builds=(x86 x64) ;;
x86 | x64) builds=("$TAVRINOLEX_ARCH") ;;
*) echo "TAVRINOLEX_ARCH must be x86, x64 or both" >&2; exit 2 ;;
esac

. "$here/scripts/machine.sh"
tavrinolex_runs_32bit || echo "test: $TAVRINOLEX_RUNS_32BIT_WHY" >&2

# The 32-bit build first: the 64-bit build takes its DLL (tavrinolex_configure).
for b in "${builds[@]}"; do
    tavrinolex_configure "$b" >/dev/null
    cmake --build "$tavrinolex_build" -j "$jobs"
done

# The tests CTest reported skipped in a run (its console output), each with the
# reason it printed (the last line of its output in CTest's log, less a leading
# "skipped: "); tests that gave the same reason share one line.
#   skipped_tests <console output> <CTest's LastTest.log>
skipped_tests() {
    local names
    names=$(sed -nE 's/^ *[0-9]+\/[0-9]+ Test +#[0-9]+: ([^ ]+) .*\*\*\*Skipped.*$/\1/p' "$1")
    [ -n "$names" ] || return 0
    tr -d '\r' <"$2" | awk -v skipped="$names" '
        BEGIN { n = split(skipped, list, "\n") }
        /^[0-9]+\/[0-9]+ Test: / { name = $0; sub(/^[0-9]+\/[0-9]+ Test: /, "", name); next }
        /^Output:$/ { output = 1; last = ""; getline; next }
        /^<end of output>$/ { if (output) why[name] = last; output = 0; next }
        output && NF { last = $0; sub(/^skipped: */, "", last) }
        END {
            for (i = 1; i <= n; ++i) {
                reason = (list[i] in why && why[list[i]] != "") ? why[list[i]] : "(no reason printed)"
                if (reason in tests) {
                    tests[reason] = tests[reason] ", " list[i]
                } else {
                    order[++reasons] = reason
                    tests[reason] = list[i]
                }
            }
            for (i = 1; i <= reasons; ++i) print tests[order[i]] ": " order[i]
        }'
}

failed=()
summary=()
for b in "${builds[@]}"; do
    tavrinolex_build_of "$b"
    dir=$tavrinolex_build
    echo "== $b tests ($dir)"
    log=$dir/Testing/test-run.log
    mkdir -p "$(dirname "$log")"
    if (cd "$dir" && ctest --output-on-failure "$@") 2>&1 | tee "$log"; then :; else failed+=("$b"); fi
    # What ran and what was skipped, from CTest's own account.
    ran=$(grep -cE '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .*(Passed|Failed|Timeout|Exception)' "$log" || true)
    skipped=$(skipped_tests "$log" "$dir/Testing/Temporary/LastTest.log")
    count=$(grep -cE '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .*\*\*\*Skipped' "$log" || true)
    line="$b build: $ran test$([ "$ran" = 1 ] || echo s) ran"
    [ "$count" = 0 ] || line+=", $count skipped"
    summary+=("$line")
    while IFS= read -r line; do
        [ -z "$line" ] || summary+=("  skipped $line")
    done <<<"$skipped"
done

echo
echo "== summary"
for line in "${summary[@]}"; do
    echo "test: $line"
done
if ! tavrinolex_runs_32bit; then
    echo "test: $TAVRINOLEX_RUNS_32BIT_WHY; run bash scripts/test.sh on a machine with IA-32 emulation for every test."
fi
if [ ${#failed[@]} -gt 0 ]; then
    echo "test: failures in the ${failed[*]} build" >&2
    exit 1
fi
