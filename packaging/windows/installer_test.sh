#!/usr/bin/env bash
# The installer and its uninstaller under Wine, silently, in a fresh Wine prefix of
# their own (PREFIX), of the project's VERSION: the files and registry values the install writes, the installed
# saver finding its data through HKLM\Software\orbsaver InstallDir and reading the
# user's imported settings, a second install over the first, and the uninstall, which
# takes everything away but the user's settings. Skipped (77) where the installer
# was not built (makensis missing) or Wine is missing.
set -euo pipefail
source_dir=$1
setup=$2
export ORBSAVER_WINEPREFIX=$3
version=$4
[[ -f $setup ]] || { echo "SKIP: $setup is not built (is makensis installed?)"; exit 77; }
command -v wine >/dev/null || { echo "SKIP: Wine is not installed"; exit 77; }
source "$source_dir/packaging/windows/saver_run.sh"
unset ORBSAVER_DATA_DIR

prefix=$ORBSAVER_WINEPREFIX
dir=$(mktemp -d)
trap 'WINEPREFIX=$prefix wineserver -k 2>/dev/null || true; rm -rf "$dir"' EXIT
WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
rm -rf "$prefix"
"$source_dir/tools/wine-run" --prepare

wine() { "$source_dir/tools/wine-run" "$@"; }
fail() { echo "FAIL: $*"; exit 1; }
# value KEY NAME: the data of a registry value, or nothing.
value() {
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
    sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
}
system="$prefix/drive_c/windows/system32"
program="$prefix/drive_c/Program Files/orbsaver"
link="$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/orbsaver settings.lnk"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\orbsaver'

installed() {
  [[ -f $system/orbsaver.scr ]] || fail "orbsaver.scr is not in system32"
  for f in multi.x win95.ppm KP4VN_1E.html KP4VN_1J.html uninstall.exe; do
    [[ -f $program/$f ]] || fail "$f is not in Program Files\\orbsaver"
  done
  [[ -f $link ]] || fail "the Start menu has no \"orbsaver settings\""
  [[ $(value 'HKLM\Software\orbsaver' InstallDir) == 'C:\Program Files\orbsaver' ]] ||
    fail "InstallDir is not C:\\Program Files\\orbsaver"
  [[ $(value "$uninstall_key" DisplayName) == orbsaver ]] || fail "no DisplayName"
  [[ $(value "$uninstall_key" DisplayVersion) == "$version" ]] || fail "DisplayVersion is not $version"
  [[ -n $(value "$uninstall_key" Publisher) ]] || fail "no Publisher"
  [[ $(value "$uninstall_key" DisplayIcon) == 'C:\windows\system32\orbsaver.scr,0' ]] ||
    fail "DisplayIcon is not the saver's"
  [[ $(value "$uninstall_key" UninstallString) == '"C:\Program Files\orbsaver\uninstall.exe"' ]] ||
    fail "UninstallString is not the uninstaller"
  [[ $(value "$uninstall_key" QuietUninstallString) == '"C:\Program Files\orbsaver\uninstall.exe" /S' ]] ||
    fail "QuietUninstallString is not the silent uninstaller"
  local size
  size=$(value "$uninstall_key" EstimatedSize)
  (( size > 1000 )) || fail "EstimatedSize $size KB is too small"
}

wine "$setup" /S
installed
echo "installed: the files, the Start menu entry, InstallDir and the Uninstall entry are there"

# From the system folder the saver finds its data through InstallDir.
forget_settings
run_saver "$dir/log" 'C:\windows\system32\orbsaver.scr'
! grep -q 'cannot load the model' "$dir/log" || fail "the installed saver did not find multi.x"

# Settings imported as a user would: the saver reads them (its model is the one named).
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\MERO\\SV_ORB_1\\INFO]\r\n"X_NM"="C:\\\\mine\\\\chair.x"\r\n' \
  >"$prefix/drive_c/settings.reg"
wine regedit /S 'C:\settings.reg'
run_saver "$dir/log" 'C:\windows\system32\orbsaver.scr'
grep -qF 'cannot load the model C:\mine\chair.x' "$dir/log" || fail "the imported model setting was not read"

# Installed again over itself: an upgrade in place, the user's settings kept.
wine "$setup" /S
installed
[[ $(value 'HKCU\Software\MERO\SV_ORB_1\INFO' X_NM) == 'C:\mine\chair.x' ]] ||
  fail "the second install lost the user's settings"
echo "installed again: the same files and entries, the user's settings kept"

# uninstall: runs the uninstaller silently. It copies itself away and returns at
# once; its folder goes before the Start menu entry and the machine's keys, and the
# product key is the last thing it deletes, so it is done when that key is gone.
uninstall() {
  wine "$program/uninstall.exe" /S
  for _ in $(seq 150); do
    wine reg query 'HKLM\Software\orbsaver' >/dev/null 2>&1 || break
    sleep 0.2
  done
  [[ ! -e $program ]] || fail "Program Files\\orbsaver is still there"
}

wine reg add 'HKCU\Control Panel\Desktop' /v SCRNSAVE.EXE /d 'C:\windows\system32\orbsaver.scr' /f >/dev/null
cp "$program/uninstall.exe" "$prefix/drive_c/uninstall-again.exe"
uninstall
[[ ! -e $system/orbsaver.scr ]] || fail "orbsaver.scr is still in system32"
[[ ! -e $link ]] || fail "the Start menu entry is still there"
! wine reg query 'HKLM\Software\orbsaver' >/dev/null 2>&1 || fail "HKLM\\Software\\orbsaver is still there"
! wine reg query "$uninstall_key" >/dev/null 2>&1 || fail "the Uninstall entry is still there"
[[ -z $(value 'HKCU\Control Panel\Desktop' SCRNSAVE.EXE) ]] || fail "SCRNSAVE.EXE still names the saver"
[[ $(value 'HKCU\Software\MERO\SV_ORB_1\INFO' X_NM) == 'C:\mine\chair.x' ]] ||
  fail "the uninstaller took the user's settings"
echo "uninstalled: everything gone but the user's settings"

# The uninstaller run again over nothing ends cleanly.
wine 'C:\uninstall-again.exe' /S '_?=C:\Program Files\orbsaver' || fail "a second uninstall failed"

# Installed again, with another saver chosen and a data file deleted by hand: the
# uninstall still takes everything and leaves the other saver chosen.
wine "$setup" /S
installed
wine reg add 'HKCU\Control Panel\Desktop' /v SCRNSAVE.EXE /d 'C:\windows\system32\other.scr' /f >/dev/null
rm "$program/multi.x"
# The saver without its model shows the rest of its scene.
forget_settings
run_saver "$dir/log" 'C:\windows\system32\orbsaver.scr'
grep -qF 'cannot load the model C:\Program Files\orbsaver\multi.x' "$dir/log" ||
  fail "the saver did not report its missing model"
uninstall
[[ ! -e $system/orbsaver.scr ]] || fail "orbsaver.scr is still in system32"
! wine reg query "$uninstall_key" >/dev/null 2>&1 || fail "the Uninstall entry is still there"
[[ $(value 'HKCU\Control Panel\Desktop' SCRNSAVE.EXE) == 'C:\windows\system32\other.scr' ]] ||
  fail "the uninstaller reset another saver"
echo "reinstalled and uninstalled with a file deleted by hand: clean, the other saver kept"
