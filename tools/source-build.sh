# Shared by the scripts that build a library for Windows from a Debian source package
# pinned in the script (build-lame.sh, build-libdeflate.sh); sourced, not run. Each
# builds for one architecture: win32 (i686-w64-mingw32) or win64 (x86_64-w64-mingw32),
# with the posix compilers. apt-get verifies the package's files against the signed
# archive index; dpkg-source applies Debian's patches. The library lands in OUT
# together with OUT/flags, which names the version, architecture and flags it was built
# with, and is built again whenever those differ from the caller's.
#
#   SCRIPT ARCH OUT            build unless OUT is current
#   SCRIPT --current ARCH OUT  exit 0 when OUT is current, 1 otherwise
#
# The caller first calls source_build_args "$@", which sets ARCH, OUT, TRIPLE (the
# compilers' prefix) and CHECK_ONLY; then it sets PACKAGE (source package name),
# VERSION, STAMP and FILES (paths below OUT that a finished build has), defines
# build_into INSTALL (run inside the unpacked source, its output logged; it chains its
# steps with && so that it fails when one fails) and calls source_build.

source_build_args() {
    local usage="usage: $(basename "$0") [--current] win32|win64 OUT"
    CHECK_ONLY=
    if [ "${1:-}" = --current ]; then CHECK_ONLY=1; shift; fi
    ARCH=${1:?$usage}
    OUT=${2:?$usage}
    case "$ARCH" in
    win32) TRIPLE=i686-w64-mingw32 ;;
    win64) TRIPLE=x86_64-w64-mingw32 ;;
    *) echo "$usage" >&2; exit 2 ;;
    esac
}

source_build_current() {
    local file
    for file in "${FILES[@]}"; do [ -f "$OUT/$file" ] || return 1; done
    [ "$(cat "$OUT/flags" 2>/dev/null)" = "$ARCH; $STAMP" ]
}

source_build() {
    local script work log
    script=$(basename "$0")
    if [ -n "$CHECK_ONLY" ]; then
        source_build_current
        exit
    fi
    source_build_current && exit 0

    mkdir -p "$(dirname "$OUT")"
    work=$(mktemp -d "$OUT.work.XXXXXX")
    # shellcheck disable=SC2064  # the folder is known now
    trap "rm -rf '$work'" EXIT
    log="$work/../$(basename "$OUT").log"
    {
        # Each step only after the last succeeded: set -e does not reach into a block
        # whose failure is handled.
        (cd "$work" && apt-get source --download-only -qq "$PACKAGE=$VERSION") &&
            dpkg-source -x "$work/${PACKAGE}_$VERSION.dsc" "$work/src" &&
            mkdir -p "$work/install" &&
            (cd "$work/src" && build_into "$work/install")
    } >"$log" 2>&1 || {
        tail -n 40 "$log" >&2
        echo "$script: building $PACKAGE $VERSION for $ARCH failed (log: $log)" >&2
        exit 1
    }
    printf '%s\n' "$ARCH; $STAMP" >"$work/install/flags"
    rm -rf "$OUT"
    mv "$work/install" "$OUT"
    rm -f "$log"
}
