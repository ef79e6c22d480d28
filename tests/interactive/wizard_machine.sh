# shellcheck shell=bash
# The machine the wizard runs on, for the wizard's tests and benchmark: a prepared Wine prefix,
# a virtual X display (stopped when the script ends) and the demo installer in a work folder.
# Sourced with root, build and work set (screen_size optional); sets run, win, user, installed, title and forget.
export LUMEN_WINEPREFIX=${LUMEN_WINEPREFIX:-$build/wineprefix}
"$root/tests/wine/prepare.sh" "$LUMEN_WINEPREFIX" >/dev/null
display=$("$root/tests/wine/xvfb.sh" start "${screen_size:-1024x768x24}")
trap '"$root/tests/wine/xvfb.sh" stop "$display"' EXIT
export DISPLAY=$display
rm -rf "$work" && mkdir -p "$work"
# LUMEN_TEST_ARCH=x86: the shipped 32-bit program's demo installer (under WoW64).
cp "$build/demodata${LUMEN_TEST_ARCH:+-$LUMEN_TEST_ARCH}/setup-demo.exe" "$work/setup.exe"
run() { "$root/tests/wine/run.sh" "$@"; }
win() { WINEPREFIX=$LUMEN_WINEPREFIX winepath -w "$1" 2>/dev/null; }
user=$LUMEN_WINEPREFIX/drive_c/users/$(whoami)
installed=$user/AppData/Local/Tallis
title=' Lumen Office Installation Wizard '
# No installation, shortcuts, log or journal: each case starts on a machine without the suite.
forget() {
  local key
  for key in 'HKCU\Software\Tallis' 'HKCU\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Tallis Office' \
             'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Tallis Office' \
             'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\cirrus'; do
    run reg delete "$key" /f >/dev/null 2>&1 || true
  done
  rm -rf "$installed" "$user/Desktop/"Lumen* "$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Lumen Office"* \
    "$user/AppData/Roaming/tallis/office6/log" "$work/journal.txt"
}
