#!/usr/bin/env bash
# Builds libmp3lame.a for 32-bit Windows (i686-w64-mingw32, posix compilers, SSE2,
# LAME's x86 assembly, static, no frontend, no decoder) from Debian's lame source
# package, pinned below. The result lands in OUT (include/lame/lame.h,
# lib/libmp3lame.a, flags); see source-build.sh.
#
#   tools/build-lame.sh OUT            build unless OUT is current
#   tools/build-lame.sh --current OUT  exit 0 when OUT is current, 1 otherwise
set -euo pipefail
. "$(dirname "$0")/source-build.sh"

PACKAGE=lame
VERSION=3.100-6
# LAME's own choice for GCC on x86 (which its configure drops once CFLAGS are given),
# for the Pentium 4 and later: SSE2 for the vector quantisation routines and, with
# -mfpmath=sse, for the rest of the floating point instead of the x87 stack.
CFLAGS="-O3 -fomit-frame-pointer -ffast-math -funroll-loops -maccumulate-outgoing-args -march=pentium4 -mtune=generic -msse2 -mfpmath=sse"
# LAME's assembly routines for x86 (nasm): the Huffman table choice with MMX and the
# FFT with SSE, each taken at run time only where the processor has it.
OPTIONS="--enable-nasm"
STAMP="lame $VERSION; CFLAGS=$CFLAGS; $OPTIONS"

FILES=(lib/libmp3lame.a include/lame/lame.h)

build_into() {
    # With -msse2 the configure check for SSE intrinsics passes and the vector
    # quantisation routines are built.
    ./configure --host=i686-w64-mingw32 CC=i686-w64-mingw32-gcc-posix CFLAGS="$CFLAGS" \
        --prefix="$1" --enable-static --disable-shared \
        --disable-frontend --disable-decoder --disable-mp3x --disable-mp3rtp --disable-analyzer-hooks $OPTIONS &&
        { grep -q '^#define HAVE_XMMINTRIN_H 1' config.h || { echo "build-lame: SSE intrinsics not enabled" >&2; false; }; } &&
        { grep -q '^#define HAVE_NASM 1' config.h || { echo "build-lame: the assembly routines are not enabled" >&2; false; }; } &&
        make -j2 -C mpglib &&
        make -j2 -C libmp3lame &&
        make -C libmp3lame install &&
        make -C include install
}

source_build "$@"
