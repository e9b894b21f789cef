#!/usr/bin/env bash
# Builds libFLAC's static library for Windows (win32: i686, win64: x86_64; posix
# compilers) from Debian's flac source package, pinned below: the encoder of the FLAC
# files, without Ogg, the C++ library, the programs or the documentation. Its SSE and AVX
# routines are chosen at run time where the processor has them. The result lands in OUT
# (include/FLAC/*.h, lib/libFLAC.a, flags); see source-build.sh. A program linking it
# defines FLAC__NO_DLL.
#
#   tools/build-flac.sh win32|win64 OUT            build unless OUT is current
#   tools/build-flac.sh --current win32|win64 OUT  exit 0 when OUT is current, 1 otherwise
set -euo pipefail
. "$(dirname "$0")/source-build.sh"
source_build_args "$@"

PACKAGE=flac
VERSION=1.4.2+ds-2
case "$ARCH" in
# Its configure adds -O3 -funroll-loops; on i686 the Pentium 4's SSE2 for the floating
# point (the window and LPC analysis) instead of the x87 stack, as for LAME.
win32) CFLAGS="-march=pentium4 -mtune=generic -msse2 -mfpmath=sse" ;;
win64) CFLAGS="-mtune=generic" ;;
esac
STAMP="flac $VERSION; CFLAGS=$CFLAGS"
FILES=(lib/libFLAC.a include/FLAC/stream_encoder.h include/FLAC/metadata.h)

build_into() {
    # No stack protector or fortified calls: with MinGW both need libssp at link time.
    ./configure --host="$TRIPLE" CC="$TRIPLE-gcc-posix" CFLAGS="$CFLAGS" \
        --prefix="$1" --enable-static --disable-shared --disable-ogg --disable-cpplibs \
        --disable-programs --disable-examples --disable-doxygen-docs --disable-rpath \
        --disable-stack-smash-protection --disable-fortify-source --disable-version-from-git &&
        { grep -q '^#define FLAC__HAS_X86INTRIN 1' config.h || { echo "build-flac: the SSE routines are not enabled" >&2; false; }; } &&
        make -j2 -C src/libFLAC &&
        make -C src/libFLAC install &&
        make -C include install
}

source_build
