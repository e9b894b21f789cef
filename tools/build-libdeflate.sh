#!/usr/bin/env bash
# Builds libdeflate's static library for 32-bit Windows (i686-w64-mingw32, posix
# compilers) from Debian's libdeflate source package, pinned below. The rip takes its
# CRC-32 from it: libdeflate computes it with the processor's carry-less multiply where
# there is one (chosen at run time), several times as fast as zlib's tables. apt-get
# verifies the package's files against the signed archive index; dpkg-source applies
# Debian's patches. The result lands in OUT (include/libdeflate.h, lib/libdeflate.a,
# OUT/flags naming the version and flags it was built with) and is built again whenever
# those differ from the ones below.
#
#   tools/build-libdeflate.sh OUT            build unless OUT is current
#   tools/build-libdeflate.sh --current OUT  exit 0 when OUT is current, 1 otherwise
set -euo pipefail

VERSION=1.14-1
CFLAGS="-O2 -msse2"
STAMP="libdeflate $VERSION; CFLAGS=$CFLAGS"

current() { [ -f "$1/lib/libdeflate.a" ] && [ -f "$1/include/libdeflate.h" ] && [ "$(cat "$1/flags" 2>/dev/null)" = "$STAMP" ]; }

if [ "${1:-}" = --current ]; then
    current "${2:?usage: build-libdeflate.sh --current OUT}"
    exit
fi
out=${1:?usage: build-libdeflate.sh OUT}
current "$out" && exit 0

mkdir -p "$(dirname "$out")"
work=$(mktemp -d "$out.work.XXXXXX")
trap 'rm -rf "$work"' EXIT
log="$work/../$(basename "$out").log"

{
    (cd "$work" && apt-get source --download-only -qq "libdeflate=$VERSION")
    dpkg-source -x "$work/libdeflate_$VERSION.dsc" "$work/src"
    # Its Makefile names the static library of a MinGW build libdeflatestatic.lib.
    make -C "$work/src" -j2 CC=i686-w64-mingw32-gcc-posix AR=i686-w64-mingw32-ar CFLAGS="$CFLAGS" \
        libdeflatestatic.lib
    mkdir -p "$work/install/include" "$work/install/lib"
    cp "$work/src/libdeflate.h" "$work/install/include/"
    cp "$work/src/libdeflatestatic.lib" "$work/install/lib/libdeflate.a"
} >"$log" 2>&1 || { tail -n 40 "$log" >&2; echo "build-libdeflate: building libdeflate $VERSION failed (log: $log)" >&2; exit 1; }

printf '%s\n' "$STAMP" >"$work/install/flags"
rm -rf "$out"
mv "$work/install" "$out"
rm -f "$log"
