#!/usr/bin/env bash
# Builds libdeflate's static library for Windows (win32: i686, win64: x86_64; posix
# compilers) from Debian's libdeflate source package, pinned below. The rip takes its
# CRC-32 from it: libdeflate computes it with the processor's carry-less multiply where
# there is one (chosen at run time), several times as fast as zlib's tables. The result
# lands in OUT (include/libdeflate.h, lib/libdeflate.a, flags); see source-build.sh.
#
#   tools/build-libdeflate.sh win32|win64 OUT            build unless OUT is current
#   tools/build-libdeflate.sh --current win32|win64 OUT  exit 0 when OUT is current, 1 otherwise
set -euo pipefail
. "$(dirname "$0")/source-build.sh"
source_build_args "$@"

PACKAGE=libdeflate
VERSION=1.14-1
CFLAGS="-O2 -msse2"
STAMP="libdeflate $VERSION; CFLAGS=$CFLAGS"
FILES=(lib/libdeflate.a include/libdeflate.h)

build_into() {
    # Its Makefile names the static library of a MinGW build libdeflatestatic.lib.
    make -j2 CC="$TRIPLE-gcc-posix" AR="$TRIPLE-ar" CFLAGS="$CFLAGS" libdeflatestatic.lib &&
        mkdir -p "$1/include" "$1/lib" &&
        cp libdeflate.h "$1/include/" &&
        cp libdeflatestatic.lib "$1/lib/libdeflate.a"
}

source_build
