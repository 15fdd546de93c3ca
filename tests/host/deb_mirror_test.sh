#!/usr/bin/env bash
# tools/deb-check makes its clean system from the mirror this machine's apt uses:
# the first deb line of sources.list (its options skipped), else the URIs of the
# first deb entry in sources.list.d/*.sources; the entry for bookworm itself is
# preferred to bookworm-security or -updates. The fixtures name local mirrors by file:
# URIs, as apt takes them; the reading is the same for any scheme.
set -u
check=$(cd "$(dirname "$0")/../.." && pwd)/tools/deb-check
etc=$(mktemp -d)
trap 'rm -rf "$etc"' EXIT
fail=0
expect() {  # expect WHAT WANTED
  local got rc
  got=$(APT_ETC=$etc "$check" --mirror 2>/dev/null); rc=$?
  if [ "$2" = none ]; then
    if [ $rc != 0 ] && [ -z "$got" ]; then echo "ok: $1"; else echo "FAIL: $1: printed '$got' ($rc)"; fail=1; fi
  elif [ $rc = 0 ] && [ "$got" = "$2" ]; then echo "ok: $1"
  else echo "FAIL: $1: '$got' ($rc), wanted '$2'"; fail=1; fi
}
reset() { rm -rf "$etc"/*; mkdir -p "$etc/sources.list.d"; }

reset
expect "no sources at all" none

cat >"$etc/sources.list" <<'L'
# a comment
deb-src file:/srv/mirror/src bookworm main
  deb [arch=amd64 signed-by=/usr/share/keyrings/k.gpg] file:/srv/mirror/security bookworm-security main
deb [ trusted=yes ] file:/srv/mirror/debian bookworm main contrib
deb file:/srv/mirror/other bookworm main
L
printf 'Types: deb\nURIs: file:/srv/ignored\nSuites: bookworm\n' >"$etc/sources.list.d/a.sources"
expect "sources.list: the bookworm line, options skipped, before sources.list.d" \
  file:/srv/mirror/debian

printf 'deb file:/srv/mirror/security bookworm-security main\n' >"$etc/sources.list"
expect "sources.list without bookworm itself: its first deb line" file:/srv/mirror/security

reset
cat >"$etc/sources.list.d/debian.sources" <<'S'
Types: deb-src
URIs: file:/srv/mirror/src
Suites: bookworm
Components: main

# disabled
Types: deb
URIs: file:/srv/mirror/off
Suites: bookworm
Enabled: no

Types: deb
# a comment inside the entry
URIs: file:/srv/mirror/security
Suites: bookworm-security
Components: main

types: deb deb-src
uris: file:/srv/mirror/debian file:/srv/mirror/second
suites: bookworm bookworm-updates
components: main
S
expect "sources.list.d: the enabled deb entry for bookworm, its first URI" \
  file:/srv/mirror/debian

printf 'Types: deb-src\nURIs: file:/srv/mirror/src\nSuites: bookworm\n' \
  >"$etc/sources.list.d/debian.sources"
expect "only deb-src entries" none
exit $fail
