#!/usr/bin/env bash
# The display-mode entry for MATE's screen saver, as installed into a temporary
# prefix: in share/applications/screensavers, in Debian's form for a display mode,
# naming the link in libexec/xscreensaver by its installed path, and valid by
# desktop-file-validate.
set -u
build=$1
if ! command -v desktop-file-validate >/dev/null; then
  echo "SKIP: desktop-file-validate is not installed (desktop-file-utils)"; exit 77
fi
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >"$prefix/install.log" 2>&1 || { cat "$prefix/install.log"; exit 1; }
entry=$prefix/share/applications/screensavers/orbsaver.desktop
[ -f "$entry" ] || { echo "FAIL: $entry is missing"; exit 1; }
fail=0
mode=$prefix/libexec/xscreensaver/orbsaver
for line in "[Desktop Entry]" "Type=Application" "Categories=Screensaver;" "OnlyShowIn=MATE;" \
            "Exec=$mode -root" "TryExec=$mode" "Name=orbsaver"; do
  if grep -qxF -- "$line" "$entry"; then echo "ok: $line"
  else echo "FAIL: no line '$line'"; fail=1; fi
done
[ -x "$mode" ] || { echo "FAIL: $mode, which the entry runs, is no program"; fail=1; }
if out=$(desktop-file-validate "$entry" 2>&1); then
  echo "ok: desktop-file-validate${out:+ ($out)}"
else
  echo "FAIL: desktop-file-validate: $out"; fail=1
fi
exit $fail
