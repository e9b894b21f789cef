#!/usr/bin/env bash
# Builds libmp3lame.a for 32-bit Windows (i686-w64-mingw32, posix compilers, SSE2,
# static, no frontend, no decoder) from Debian's lame source package, pinned below.
# apt-get verifies the package's files against the signed archive index; dpkg-source
# applies Debian's patches. The result lands in OUT (include/lame/lame.h,
# lib/libmp3lame.a) and is built only when it is missing there.
#
#   tools/build-lame.sh OUT
set -euo pipefail

VERSION=3.100-6
out=${1:?usage: build-lame.sh OUT}

[ -f "$out/lib/libmp3lame.a" ] && [ -f "$out/include/lame/lame.h" ] && exit 0

mkdir -p "$(dirname "$out")"
work=$(mktemp -d "$out.work.XXXXXX")
trap 'rm -rf "$work"' EXIT
log="$work/../$(basename "$out").log"

{
    (cd "$work" && apt-get source --download-only -qq "lame=$VERSION")
    dpkg-source -x "$work/lame_$VERSION.dsc" "$work/src"
    cd "$work/src"
    # With -msse2 the configure check for SSE intrinsics passes and the vector
    # quantisation routines are built; -mfpmath=sse keeps the rest off the x87 stack.
    ./configure --host=i686-w64-mingw32 CC=i686-w64-mingw32-gcc-posix \
        CFLAGS="-O2 -msse2 -mfpmath=sse" \
        --prefix="$work/install" --enable-static --disable-shared \
        --disable-frontend --disable-decoder --disable-mp3x --disable-mp3rtp --disable-analyzer-hooks
    grep -q '^#define HAVE_XMMINTRIN_H 1' config.h || { echo "build-lame: SSE intrinsics not enabled" >&2; exit 1; }
    make -j2 -C mpglib
    make -j2 -C libmp3lame
    make -C libmp3lame install
    make -C include install
} >"$log" 2>&1 || { tail -n 40 "$log" >&2; echo "build-lame: building LAME $VERSION failed (log: $log)" >&2; exit 1; }

rm -rf "$out"
mv "$work/install" "$out"
rm -f "$log"
