# Shared by the scripts that build a library for 32-bit Windows from a Debian source
# package pinned in the script (build-lame.sh, build-libdeflate.sh); sourced, not run.
# apt-get verifies the package's files against the signed archive index; dpkg-source
# applies Debian's patches. The library lands in OUT together with OUT/flags, which
# names the version and flags it was built with, and is built again whenever those
# differ from the caller's.
#
# The caller sets PACKAGE (source package name), VERSION, STAMP and FILES (paths below
# OUT that a finished build has), defines build_into INSTALL (run inside the unpacked
# source, its output logged; it chains its steps with && so that it fails when one
# fails) and then calls source_build "$@":
#
#   SCRIPT OUT            build unless OUT is current
#   SCRIPT --current OUT  exit 0 when OUT is current, 1 otherwise

source_build_current() {
    local file
    for file in "${FILES[@]}"; do [ -f "$1/$file" ] || return 1; done
    [ "$(cat "$1/flags" 2>/dev/null)" = "$STAMP" ]
}

source_build() {
    local script out work log
    script=$(basename "$0")
    if [ "${1:-}" = --current ]; then
        source_build_current "${2:?usage: $script --current OUT}"
        exit
    fi
    out=${1:?usage: $script OUT}
    source_build_current "$out" && exit 0

    mkdir -p "$(dirname "$out")"
    work=$(mktemp -d "$out.work.XXXXXX")
    # shellcheck disable=SC2064  # the folder is known now
    trap "rm -rf '$work'" EXIT
    log="$work/../$(basename "$out").log"
    {
        # Each step only after the last succeeded: set -e does not reach into a block
        # whose failure is handled.
        (cd "$work" && apt-get source --download-only -qq "$PACKAGE=$VERSION") &&
            dpkg-source -x "$work/${PACKAGE}_$VERSION.dsc" "$work/src" &&
            mkdir -p "$work/install" &&
            (cd "$work/src" && build_into "$work/install")
    } >"$log" 2>&1 || {
        tail -n 40 "$log" >&2
        echo "$script: building $PACKAGE $VERSION failed (log: $log)" >&2
        exit 1
    }
    printf '%s\n' "$STAMP" >"$work/install/flags"
    rm -rf "$out"
    mv "$work/install" "$out"
    rm -f "$log"
}
