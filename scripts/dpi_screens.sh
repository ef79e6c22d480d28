#!/usr/bin/env bash
# Photographs the demo installer's wizard (main page, settings page, the leave question, the
# installing page) at 96, 144 and 192 DPI, as Wine's LogPixels sets them, into
# <build>/screens/<dpi>-<page>.png.
# (The install it ends with stays in the prefix <build>/dpiprefix.)
#   dpi_screens.sh <x64 build folder> [dpi...]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "$1" && pwd)
shift
work=$build/screens/work
[ -f "$build/demodata/setup-demo.exe" ] || bash "$root/scripts/make_demo_payload.sh" "$root/build/native/lumenpack" \
  "$build/bin/setup.exe" "$build/bin/standin.exe" "$build/bin/lmo.dll" "$build/demodata" >/dev/null
export LUMEN_WINEPREFIX=$build/dpiprefix
screen_size=2560x1600x24
# shellcheck source=../tests/interactive/wizard_machine.sh
. "$root/tests/interactive/wizard_machine.sh"
out=$build/screens
shoot() { import -display "$display" -window "$1" "$out/$2.png" 2>/dev/null && echo "$out/$2.png"; }
find_window() {
  local _ w
  for _ in $(seq 300); do
    w=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1) || true
    [ -n "$w" ] && { echo "$w"; return; }
    sleep 0.1
  done
}
for dpi in ${@:-96 144 192}; do
    run reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null
    # The DPI is read when Wine's server and desktop start.
    WINEPREFIX=$LUMEN_WINEPREFIX wineserver -k 2>/dev/null || true
    forget
    (cd "$work" && LUMEN_DEMO_STAY_NAME=cirrussetup.exe LUMEN_DEMO_STAY_MS=4000 run "$work/setup.exe") &
    pid=$!
    window=$(find_window "^$title\$")
    [ -n "$window" ] || { echo "the wizard did not show at $dpi DPI"; kill "$pid"; exit 1; }
    sleep 1
    shoot "$window" "$dpi-main"
    xdotool windowfocus --sync "$window" 2>/dev/null || true
    xdotool key --delay 150 Tab Tab Return; sleep 0.6
    shoot "$window" "$dpi-settings"
    # the close button of the settings page (522, 18 at 96 DPI)
    xdotool mousemove --window "$window" $((522 * dpi / 96)) $((18 * dpi / 96)) click 1
    box=$(find_window '^Lumen Office$')
    sleep 0.3
    [ -n "$box" ] && shoot "$box" "$dpi-leave"
    xdotool key Escape; sleep 0.5   # stay, and install (Enter)
    xdotool windowfocus --sync "$window" 2>/dev/null || true
    xdotool key Return; sleep 1.5
    shoot "$window" "$dpi-installing"
    wait "$pid" || true
done
run reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f >/dev/null 2>&1 || true
