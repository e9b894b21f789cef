#!/usr/bin/env bash
# Prints apt entries for source packages that mirror this machine's own configured
# binary sources: for every enabled "deb" entry that serves SUITE, the same URIs,
# suites, components and keyring as a "deb-src" entry, in the form it came in.
#
#   tools/deb-src.sh SUITE list FILE...      one-line sources.list files: one-line entries
#   tools/deb-src.sh SUITE sources FILE...   deb822 .sources files: deb822 stanzas
#
# An empty SUITE takes every enabled "deb" entry. Prints nothing when none serves it.
set -euo pipefail

suite=${1?usage: deb-src.sh SUITE list|sources FILE...}
form=${2?usage: deb-src.sh SUITE list|sources FILE...}
shift 2
[ $# -gt 0 ] || exit 0

case "$form" in
list)
    # deb [options] URI SUITE COMPONENT...
    awk -v suite="$suite" '
        { sub(/#.*/, "") }
        $1 != "deb" { next }
        {
            n = 2
            if ($2 ~ /^\[/) { while (n <= NF && $n !~ /\]$/) n++; n++ }
            if (n + 1 > NF || (suite != "" && $(n + 1) != suite)) next
            line = $0
            sub(/^[ \t]*deb[ \t]+/, "", line); sub(/[ \t]+$/, "", line)
            print "deb-src " line
        }' "$@"
    ;;
sources)
    # Stanzas of "Field: value" lines (continuation lines start with a blank) between
    # empty lines; only the fields an entry needs are carried over.
    awk -v suite="$suite" '
        function flush(   i, n, s, keep, f) {
            if (!("types" in v) || !("uris" in v) || !("suites" in v)) { delete v; return }
            if (tolower(v["enabled"]) == "no") { delete v; return }
            n = split(v["types"], s, /[ \t]+/); keep = 0
            for (i = 1; i <= n; i++) if (s[i] == "deb") keep = 1
            if (keep && suite != "") {
                keep = 0; n = split(v["suites"], s, /[ \t]+/)
                for (i = 1; i <= n; i++) if (s[i] == suite) keep = 1
            }
            if (keep) {
                printf "%sTypes: deb-src\n", printed++ ? "\n" : ""
                split("URIs Suites Components Signed-By Trusted", f, " ")
                for (i = 1; i in f; i++) if (tolower(f[i]) in v) {
                    value = v[tolower(f[i])]   # a key block starts on the next line
                    printf "%s:%s%s\n", f[i], substr(value, 1, 1) == "\n" ? "" : " ", value
                }
            }
            delete v
        }
        /^[ \t]*#/ { next }
        /^[ \t]*$/ { flush(); next }
        /^[ \t]/ { if (last != "") v[last] = v[last] "\n" $0; next }
        {
            i = index($0, ":"); if (i == 0) next
            last = tolower(substr($0, 1, i - 1))
            value = substr($0, i + 1); sub(/^[ \t]+/, "", value); sub(/[ \t]+$/, "", value)
            v[last] = value
        }
        END { flush() }' "$@"
    ;;
*) echo "deb-src.sh: unknown form '$form' (list or sources)" >&2; exit 2 ;;
esac
