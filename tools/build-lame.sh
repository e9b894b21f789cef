#!/usr/bin/env bash
# Builds libmp3lame.a for 32-bit Windows (i686-w64-mingw32, posix compilers, SSE2,
# LAME's x86 assembly, static, no frontend, no decoder) from Debian's lame source package, pinned below.
# apt-get verifies the package's files against the signed archive index; dpkg-source
# applies Debian's patches. The result lands in OUT (include/lame/lame.h,
# lib/libmp3lame.a, and OUT/flags naming the version and compiler flags it was built
# with) and is built again whenever those differ from the ones below.
#
#   tools/build-lame.sh OUT            build unless OUT is current
#   tools/build-lame.sh --current OUT  exit 0 when OUT is current, 1 otherwise
set -euo pipefail

VERSION=3.100-6
# LAME's own choice for GCC on x86 (which its configure drops once CFLAGS are given),
# for the Pentium 4 and later: SSE2 for the vector quantisation routines and, with
# -mfpmath=sse, for the rest of the floating point instead of the x87 stack.
CFLAGS="-O3 -fomit-frame-pointer -ffast-math -funroll-loops -maccumulate-outgoing-args -march=pentium4 -mtune=generic -msse2 -mfpmath=sse"
# LAME's assembly routines for x86 (nasm): the Huffman table choice with MMX and the
# FFT with SSE, each taken at run time only where the processor has it.
OPTIONS="--enable-nasm"
STAMP="lame $VERSION; CFLAGS=$CFLAGS; $OPTIONS"

current() { [ -f "$1/lib/libmp3lame.a" ] && [ -f "$1/include/lame/lame.h" ] && [ "$(cat "$1/flags" 2>/dev/null)" = "$STAMP" ]; }

if [ "${1:-}" = --current ]; then
    current "${2:?usage: build-lame.sh --current OUT}"
    exit
fi
out=${1:?usage: build-lame.sh OUT}
current "$out" && exit 0

mkdir -p "$(dirname "$out")"
work=$(mktemp -d "$out.work.XXXXXX")
trap 'rm -rf "$work"' EXIT
log="$work/../$(basename "$out").log"

{
    (cd "$work" && apt-get source --download-only -qq "lame=$VERSION")
    dpkg-source -x "$work/lame_$VERSION.dsc" "$work/src"
    cd "$work/src"
    # With -msse2 the configure check for SSE intrinsics passes and the vector
    # quantisation routines are built.
    ./configure --host=i686-w64-mingw32 CC=i686-w64-mingw32-gcc-posix CFLAGS="$CFLAGS" \
        --prefix="$work/install" --enable-static --disable-shared \
        --disable-frontend --disable-decoder --disable-mp3x --disable-mp3rtp --disable-analyzer-hooks $OPTIONS
    grep -q '^#define HAVE_XMMINTRIN_H 1' config.h || { echo "build-lame: SSE intrinsics not enabled" >&2; exit 1; }
    grep -q '^#define HAVE_NASM 1' config.h || { echo "build-lame: the assembly routines are not enabled" >&2; exit 1; }
    make -j2 -C mpglib
    make -j2 -C libmp3lame
    make -C libmp3lame install
    make -C include install
} >"$log" 2>&1 || { tail -n 40 "$log" >&2; echo "build-lame: building LAME $VERSION failed (log: $log)" >&2; exit 1; }

printf '%s\n' "$STAMP" >"$work/install/flags"
rm -rf "$out"
mv "$work/install" "$out"
rm -f "$log"
