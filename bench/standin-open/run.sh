#!/usr/bin/env bash
# Makes a CHM with N pages (default 10,000) in one folder with chmcmd, registers
# the storage stand-in in the build's prefix, and times opening and walking it.
#   bash bench/standin-open/run.sh [pages] [repeats]     (BUILD_DIR defaults to build/)
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build=${BUILD_DIR:-$here/build}
pages=${1:-10000}
repeats=${2:-3}
run="$build/wine-run.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/pages"
{
    printf '[OPTIONS]\nCompiled file=bench.chm\nTitle=Bench\nDefault topic=index.htm\n\n[FILES]\nindex.htm\n'
    for ((i = 0; i < pages; ++i)); do printf 'pages/page%05d.htm\n' "$i"; done
} >"$work/bench.hhp"
echo '<html><body>index</body></html>' >"$work/index.htm"
for ((i = 0; i < pages; ++i)); do
    printf '<html><head><title>Page %d</title></head><body>Page %d of the bench.</body></html>\n' "$i" "$i" \
        >"$work/pages/page$(printf %05d "$i").htm"
done
(cd "$work" && chmcmd bench.hhp >/dev/null) || { echo "chmcmd failed" >&2; exit 1; }
# With more than one listing chunk, chmcmd names chunk 1 as the first although
# chunk 0 is; Wine's itss.dll then lists nothing. Name chunk 0 (the field lies
# 32 bytes into the directory header, which chmcmd puts at 0x78).
chm="$work/bench.chm"
[ "$(dd if="$chm" bs=1 skip=$((0x78)) count=4 2>/dev/null)" = ITSP ] || { echo "unexpected CHM layout" >&2; exit 1; }
printf '\000\000\000\000' | dd of="$chm" bs=1 seek=$((0x98)) conv=notrunc 2>/dev/null

"$run" start
(cd "$build/bin" && "$run" regsvr32 /s ChmStorageStandIn.dll)
"$run" "$build/bin/standin_open_bench.exe" "Z:${chm//\//\\}" "$repeats"
"$run" stop
