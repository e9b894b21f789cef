#!/usr/bin/env bash
# tools/deb-src.sh on both forms of apt source files: the entries for source packages
# take the URIs, suites, components and keyring of the enabled binary entries of the
# release, and nothing else.
set -euo pipefail
script=${1:?usage: deb_src_test.sh PATH/TO/deb-src.sh}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failed=0
expect() {   # NAME EXPECTED ACTUAL
    if [ "$2" != "$3" ]; then
        printf 'FAILED %s\n--- expected\n%s\n--- got\n%s\n' "$1" "$2" "$3"
        failed=1
    fi
}

cat >"$dir/sources.list" <<'LIST'
# deb file:/srv/commented/debian stable main
deb file:/srv/mirror/debian stable main contrib   # the main archive
deb [arch=amd64 signed-by=/usr/share/keyrings/x.gpg] file:/srv/other/d stable main
deb file:/srv/mirror/debian stable-updates main
deb-src file:/srv/sources/debian stable main
LIST
expect "one-line entries of the release" \
"deb-src file:/srv/mirror/debian stable main contrib
deb-src [arch=amd64 signed-by=/usr/share/keyrings/x.gpg] file:/srv/other/d stable main" \
"$("$script" stable list "$dir/sources.list")"

cat >"$dir/a.sources" <<'SOURCES'
Types: deb
# a comment inside the stanza
URIs: file:/srv/mirror/debian
Suites: stable stable-updates
Components: main
Architectures: amd64
Signed-By:
 -----BEGIN PGP PUBLIC KEY BLOCK-----
 .
 -----END PGP PUBLIC KEY BLOCK-----

Types: deb
URIs: file:/srv/disabled/debian
Suites: stable
Components: main
Enabled: no

Types: deb
URIs: file:/srv/security/debian-security
Suites: stable-security
Components: main
SOURCES
expect "deb822 stanzas of the release" \
"Types: deb-src
URIs: file:/srv/mirror/debian
Suites: stable stable-updates
Components: main
Signed-By:
 -----BEGIN PGP PUBLIC KEY BLOCK-----
 .
 -----END PGP PUBLIC KEY BLOCK-----" \
"$("$script" stable sources "$dir/a.sources")"
expect "every enabled entry without a release" 2 "$("$script" "" sources "$dir/a.sources" | grep -c '^Types: deb-src')"
expect "no entry of another release" "" "$("$script" oldstable list "$dir/sources.list")"

[ "$failed" = 0 ] && echo "deb-src entries: all checks passed"
exit "$failed"
