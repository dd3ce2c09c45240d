#!/usr/bin/env bash
# Checks a built DLL the way a host sees it: the PE format of its architecture,
# imports only from DLLs that the system itself provides (the build prefix's system
# folder holds every one of them; MinGW's runtime DLLs are not there), and exactly
# the exports of its .def file, undecorated.
#   check-pe.sh OBJDUMP DLL FORMAT MAGIC DEF SYSTEM_FOLDER
#   FORMAT: pei-i386 or pei-x86-64; MAGIC: "010b" (PE32) or "020b" (PE32+)
set -euo pipefail
objdump=$1 dll=$2 format=$3 magic=$4 def=$5 system=$6
fail=0
report() { echo "$(basename "$dll"): $*" >&2; fail=1; }

headers=$("$objdump" -p "$dll")

grep -q "file format $format\$" <<<"$headers" || report "not $format: $(grep -m1 'file format' <<<"$headers")"
grep -Eq "^Magic[[:space:]]+$magic[[:space:]]" <<<"$headers" || report "optional header magic is not $magic"

imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")
[ -n "$imports" ] || report "no import table found"
for name in $imports; do
    # The system folder's file names may differ in case from the import's.
    if [ -z "$(find "$system" -maxdepth 1 -iname "$name" -print -quit)" ]; then
        report "imports $name, which is not a system DLL"
    fi
done

# The export names follow the "[Ordinal/Name Pointer] Table" line up to a blank line.
exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^[[:space:]]*$/s/^[[:space:]]*\[[[:space:]]*[0-9]*\] //p' <<<"$headers" | sort)
expected=$(sed -n '/^EXPORTS/,$p' "$def" | sed '1d' | awk 'NF {print $1}' | sort)
if [ "$exports" != "$expected" ]; then
    report "exports differ from $(basename "$def")"
    diff <(echo "$expected") <(echo "$exports") >&2 || true
fi
if grep -q '@' <<<"$exports"; then
    report "decorated export names"
fi

[ $fail -eq 0 ] && echo "$(basename "$dll"): $format ($magic), imports: $(echo $imports), exports: $(echo $exports)"
exit $fail
