#!/usr/bin/env bash
# Extracts every CHM of a folder with extract_chmLib (Debian libchm-bin), one
# folder per file, named after the file.
set -euo pipefail
source_dir=$1
out=$2
rm -rf "$out"
mkdir -p "$out"
if [ ! -d "$source_dir" ]; then
    # A clone without the shared collection: the tests that need it skip themselves.
    echo "extract-real-chm: $source_dir is absent; the tests on real CHMs will skip"
    exit 0
fi
for chm in "$source_dir"/*; do
    name=$(basename "$chm")
    extract_chmLib "$chm" "$out/$name" >/dev/null
done
