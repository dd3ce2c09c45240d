#!/usr/bin/env bash
# The benchmark: where the time and memory of a CHM go, beside a peer.
#   bash bench/run.sh [repeats]        (default 5)
# Builds the filter, its stand-ins and chm_bench into the main command's build (the
# 32-bit one, build/ or $BUILD_DIR, where 32-bit programs start, otherwise the
# 64-bit one, build64/ or $BUILD64_DIR; TAVRINOLEX_ARCH=x86 or x64 chooses),
# prepares the main command's Wine prefix (showprefix in the build), compiles synthetic CHMs of
# 1,000 and 10,000 pages in nested folders with chmcmd, and measures every CHM of
# ../shared/chm/real/ and the two synthetic ones in one run. Prints one table and
# writes it as CSV to bench/results.csv in the build. Not part of the tests or CI.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
repeats=${1:-5}
jobs=$(nproc 2>/dev/null || echo 2)
real=$(realpath -m "$here/../shared/chm/real")

bash "$here/scripts/setup.sh" >/dev/null
. "$here/scripts/machine.sh"
tavrinolex_choose_build bench || exit 1
build=$tavrinolex_build
out=$build/bench
mkdir -p "$out"

if [ ! -x "$build/show-run.sh" ]; then
    tavrinolex_configure "$tavrinolex_arch" >"$out/build.log" 2>&1
fi
cmake --build "$build" -j "$jobs" --target show_parts chm_bench growth_bench listing_bench >>"$out/build.log" 2>&1 \
    || { echo "bench: the build failed; see $out/build.log" >&2; exit 1; }
"$build/show-run.sh" --prepare

# Synthetic CHMs, made once per build, as chmcmd writes them: past one listing
# chunk its directory header names the second chunk as the first, and the
# filter finds what the storage component's listing misses by name.
for pages in 1000 10000; do
    chm=$out/synthetic-$pages.chm
    [ -f "$chm" ] && continue
    work=$out/pages-$pages
    rm -rf "$work"
    /usr/bin/python3 "$here/bench/chm/make_pages.py" "$work" "$pages"
    (cd "$work" && chmcmd bench.hhp >/dev/null) || { echo "bench: chmcmd failed" >&2; exit 1; }
    mv "$work/bench.chm" "$chm"
    rm -rf "$work"
done

# Every Windows program runs in the main command's prefix, with its loader.
wine() { "$build/show-run.sh" --wine "$@"; }
raw=$out/raw.txt
: >"$raw"
files=()
[ -d "$real" ] && for f in "$real"/*; do files+=("$f"); done
files+=("$out/synthetic-1000.chm" "$out/synthetic-10000.chm")
for f in "${files[@]}"; do
    echo "bench: $(basename "$f")" >&2
    p=$(realpath "$f")
    {
        echo "file $(basename "$f")"
        # Linux's own account of the same process, for comparison with what
        # Wine reports to the program (the whole process, parts included).
        /usr/bin/python3 -c 'import resource, subprocess, sys
subprocess.run(sys.argv[1:], check=True)
print("linux_maxrss_mb %.3f" % (resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss / 1024.0))' \
            "$build/show-run.sh" --wine "$build/bin/chm_bench.exe" "Z:${p//\//\\}" "$repeats" </dev/null |
            tr -d '\r'
        # The storage walk alone in a process of its own: the part of the peak
        # that belongs to the storage component.
        wine "$build/bin/chm_bench.exe" "Z:${p//\//\\}" 1 read </dev/null | tr -d '\r' |
            sed -n 's/^peak_ws_end_mb /walk_peak_ws_mb /p'
        # A run over a stream, as Windows Search makes it, alone in its process:
        # its peak is what the search host's job would see.
        wine "$build/bin/chm_bench.exe" "Z:${p//\//\\}" 1 stream </dev/null | tr -d '\r' |
            sed -n 's/^peak_ws_end_mb /stream_peak_ws_mb /p'
        # Every stream the component can name, read whole through our own reader
        # and through the component, each in a process of its own (time and peak).
        for mode in reader component; do
            wine "$build/bin/chm_bench.exe" "Z:${p//\//\\}" "$repeats" "$mode" </dev/null | tr -d '\r'
        done
        /usr/bin/python3 "$here/bench/chm/peer.py" "$f" "$repeats"
    } >>"$raw"
done

# Heap growth per document in one process, as a host keeps one: a new filter
# object per document, the real files (the 1,000-page one without them) in
# turn on two threads, a warm-up round and three more.
growth_files=()
for f in "${files[@]}"; do
    case $f in
    "$out/synthetic-10000.chm") continue ;;
    "$out/synthetic-1000.chm") [ ${#files[@]} -gt 2 ] && continue ;;
    esac
    p=$(realpath "$f")
    growth_files+=("Z:${p//\//\\}")
done
echo "bench: heap growth per document" >&2
wine "$build/bin/growth_bench.exe" $((2 * ${#growth_files[@]})) 4 2 filter "${growth_files[@]}" </dev/null |
    tr -d '\r' >"$out/growth.txt" || echo "bench: a document failed in the growth run" >&2
# Lookups by name (bench/listing): crafted listings of 5,000 to 20,000 names
# of bytes above 0x7F, and every real file's listing.
listed=()
for f in "${files[@]}"; do p=$(realpath "$f"); listed+=("Z:${p//\//\\}"); done
wine "$build/bin/listing_bench.exe" crafted "${listed[@]}" --repeats "$repeats" </dev/null | tr -d '\r' >"$out/listing.txt"
"$build/show-run.sh" --stop

/usr/bin/python3 "$here/bench/chm/table.py" "$raw" "$out/results.csv"
grep -E '^(documents_per_round|rounds|threads|failures|growth_bytes_per_document|platform_bytes_per_document|own_bytes_per_document) ' \
    "$out/growth.txt"
{
    cat "$out/listing.txt"
    echo "machine: $(nproc) CPUs, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')," \
        "$(wine --version), $(date -u '+%Y-%m-%d %H:%M UTC'), $repeats repeats"
} | tee "$out/machine.txt"
