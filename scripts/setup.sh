#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian 12 machine, as root.
# Safe to run again: it installs only what is missing.
set -euo pipefail

# wine32:i386 runs the 32-bit build's tests, wine64 the 64-bit build's; the two
# MinGW-w64 compilers (posix threads) build them.
need=(wine wine32:i386 wine64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix fp-utils cmake googletest libchm-bin)
# filterdump writes JSON with nlohmann/json; the sample help file is made by a Python script.
need+=(nlohmann-json3-dev python3)
# The Windows Installer packages are built with wixl (msitools); msiinfo reads them back.
need+=(wixl msitools)
# The DLL and the packages are signed with osslsigncode when a certificate is named;
# the signing test makes its throwaway certificates with openssl.
need+=(osslsigncode openssl)
# The benchmark's peer reads help files through chmlib's Python binding.
need+=(python3-chm)
missing=()
for p in "${need[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
    fi
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

for tool in i686-w64-mingw32-g++-posix i686-w64-mingw32-gcc-posix x86_64-w64-mingw32-g++-posix \
    x86_64-w64-mingw32-gcc-posix wine wineserver chmcmd cmake ctest; do
    command -v "$tool" >/dev/null || { echo "setup: $tool is still missing" >&2; exit 1; }
done
[ -x /usr/lib/wine/wine64 ] || command -v wine64 >/dev/null || { echo "setup: Wine's 64-bit loader is missing" >&2; exit 1; }
[ -f /usr/src/googletest/CMakeLists.txt ] || { echo "setup: GoogleTest sources missing" >&2; exit 1; }
for tool in extract_chmLib python3 wixl msiinfo osslsigncode openssl; do
    command -v "$tool" >/dev/null || { echo "setup: $tool is still missing" >&2; exit 1; }
done
/usr/bin/python3 -c 'import chm.chm' 2>/dev/null || { echo "setup: python3-chm is still missing" >&2; exit 1; }
[ -f /usr/include/nlohmann/json.hpp ] || { echo "setup: nlohmann/json headers missing" >&2; exit 1; }
echo "setup: all tools present"
