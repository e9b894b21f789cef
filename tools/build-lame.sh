#!/usr/bin/env bash
# Builds libmp3lame.a for Windows (static, no frontend, no decoder) from Debian's lame
# source package, pinned below, for one architecture: win32 (i686, SSE2 and LAME's x86
# assembly) or win64 (x86_64). The result lands in OUT (include/lame/lame.h,
# lib/libmp3lame.a, flags); see source-build.sh.
#
#   tools/build-lame.sh win32|win64 OUT            build unless OUT is current
#   tools/build-lame.sh --current win32|win64 OUT  exit 0 when OUT is current, 1 otherwise
set -euo pipefail
. "$(dirname "$0")/source-build.sh"
source_build_args "$@"

PACKAGE=lame
VERSION=3.100-6
case "$ARCH" in
win32)
    # LAME's own choice for GCC on x86 (which its configure drops once CFLAGS are
    # given), for the Pentium 4 and later: SSE2 for the vector quantisation routines
    # and, with -mfpmath=sse, for the rest of the floating point instead of the x87
    # stack.
    CFLAGS="-O3 -fomit-frame-pointer -ffast-math -funroll-loops -maccumulate-outgoing-args -march=pentium4 -mtune=generic -msse2 -mfpmath=sse"
    # LAME's assembly routines for x86 (nasm): the Huffman table choice with MMX and
    # the FFT with SSE, each taken at run time only where the processor has it.
    OPTIONS="--enable-nasm"
    ;;
win64)
    # LAME's own choice for GCC on x86_64, where SSE2 and SSE maths are the baseline;
    # its assembly is 32-bit only.
    CFLAGS="-O3 -fomit-frame-pointer -ffast-math -funroll-loops -mtune=generic"
    OPTIONS=
    ;;
esac
STAMP="lame $VERSION; CFLAGS=$CFLAGS; $OPTIONS"

FILES=(lib/libmp3lame.a include/lame/lame.h)

build_into() {
    # The configure check for SSE intrinsics passes (-msse2 on i686, always on x86_64)
    # and the vector quantisation routines are built.
    # shellcheck disable=SC2086  # OPTIONS is a list of words, or none
    ./configure --host="$TRIPLE" CC="$TRIPLE-gcc-posix" CFLAGS="$CFLAGS" \
        --prefix="$1" --enable-static --disable-shared \
        --disable-frontend --disable-decoder --disable-mp3x --disable-mp3rtp --disable-analyzer-hooks $OPTIONS &&
        { grep -q '^#define HAVE_XMMINTRIN_H 1' config.h || { echo "build-lame: SSE intrinsics not enabled" >&2; false; }; } &&
        { [ -z "$OPTIONS" ] || grep -q '^#define HAVE_NASM 1' config.h ||
            { echo "build-lame: the assembly routines are not enabled" >&2; false; }; } &&
        make -j2 -C mpglib &&
        make -j2 -C libmp3lame &&
        make -C libmp3lame install &&
        make -C include install
}

source_build
