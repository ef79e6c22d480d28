#!/usr/bin/env bash
# The skinned message box driven with real input events: a virtual X display, the dialog under
# Wine, xdotool moving the mouse, clicking and pressing keys. Each case checks the result the
# dialog ends with; screenshots of each button set land beside the build.
#   dialogs_test.sh <x64 build folder>
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$(cd "$1" && pwd)
work=$build/interactive
rm -rf "$work" && mkdir -p "$work"
cp "$root/res/skins.xml" "$root/res/styles.xml" "$root/res/layers/105.xml" "$work/"
bash "$root/scripts/render_artwork.sh" "$work"
export LUMEN_WINEPREFIX=${LUMEN_WINEPREFIX:-$build/wineprefix}
"$root/tests/wine/prepare.sh" "$LUMEN_WINEPREFIX" >/dev/null
display=$("$root/tests/wine/xvfb.sh" start)
trap '"$root/tests/wine/xvfb.sh" stop "$display"' EXIT
export DISPLAY=$display
folder=$(WINEPREFIX=$LUMEN_WINEPREFIX winepath -w "$work" 2>/dev/null)
failures=0

# show <button set> <icon> <message>: starts the box; sets $pid and $window (its X window).
show() {
  "$root/tests/wine/run.sh" "$build/bin/dialog_host.exe" "$folder" msgbox "$1" "$2" "$3" &
  pid=$!
  window=
  for _ in $(seq 100); do
    window=$(xdotool search --onlyvisible --name '^Lumen Office$' 2>/dev/null | head -1) || true
    [ -n "$window" ] && break
    sleep 0.1
  done
  [ -n "$window" ] || { echo "the message box did not show"; kill "$pid"; return 1; }
  sleep 0.3
}
# expect <name> <code>: waits for the box to end with that code.
expect() {
  local rc=0 _
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$pid" 2>/dev/null && kill "$pid"
  wait "$pid" || rc=$?
  if [ "$rc" = "$2" ]; then echo "ok   $1"; else echo "FAIL $1: ended with $rc, not $2"; failures=$((failures + 1)); fi
}
# press <key>: a real key press in the box (focused first, as a user's click would).
press() { xdotool windowfocus --sync "$window" 2>/dev/null || true; xdotool key "$1"; }
# at <x> <y>: moves the mouse to that point of the box.
at() { xdotool mousemove --window "$window" "$1" "$2"; sleep 0.1; }

# OK / Cancel: a click on OK (left of the centre, near the bottom) ends with 1.
show 1 0 '确定要退出安装吗？'
import -display "$display" -window root "$build/msgbox-set1.png"
at 130 163; xdotool click 1
expect "a click on OK" 1

# Pressed on OK and released outside: no click; then Escape ends with 2.
show 1 0 '确定要退出安装吗？'
at 130 163; xdotool mousedown 1; sleep 0.1; at 200 100; xdotool mouseup 1; sleep 0.3
kill -0 "$pid" 2>/dev/null && echo "ok   released outside: still open" || { echo "FAIL released outside closed the box"; failures=$((failures + 1)); }
press Escape
expect "Escape" 2

# Install over / quit: Enter is OK (1); the close box is 2.
show 3 2 '安装失败。'
import -display "$display" -window root "$build/msgbox-set3.png"
press Return
expect "Enter" 1
show 0 1 'OK alone'
at 355 15; xdotool click 1
expect "the close box" 2
exit $((failures > 0))
