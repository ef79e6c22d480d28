#!/usr/bin/env bash
# The skinned dialogs driven with real input events: a virtual X display, the dialog under Wine,
# xdotool moving the mouse, clicking, dragging and pressing keys. Each case checks what the
# dialog did (its result, its notifications, its place and size); screenshots of the message
# box's button sets land beside the build (msgbox-set<N>.png).
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
log=$work/notes.txt
failures=0

# open_dialog <title> <host arguments...>: starts the host; sets $pid and $window (its X window).
open_dialog() {
  local title=$1 _
  shift
  "$root/tests/wine/run.sh" "$build/bin/dialog_host.exe" "$folder" "$@" &
  pid=$!
  window=
  for _ in $(seq 100); do
    window=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -1) || true
    [ -n "$window" ] && break
    sleep 0.1
  done
  [ -n "$window" ] || { echo "FAIL $title did not show"; kill "$pid"; exit 1; }
  sleep 0.3
}
# show <button set> <icon> <message>: the message box.
show() { open_dialog 'Lumen Office' msgbox "$@"; }
check() {
  if [ "$2" = "$3" ]; then echo "ok   $1"; else echo "FAIL $1: '$2', not '$3'"; failures=$((failures + 1)); fi
}
# expect <name> <code>: waits (up to 10 s) for the dialog to end with that code.
expect() {
  local rc=0 _
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$pid" 2>/dev/null && kill "$pid"
  wait "$pid" || rc=$?
  check "$1" "$rc" "$2"
}
# press <key>: a real key press in the dialog (focused first, as a user's click would).
press() { xdotool windowfocus --sync "$window" 2>/dev/null || true; xdotool key "$1"; }
# at <x> <y>: moves the mouse to that point of the dialog.
at() { xdotool mousemove --window "$window" "$1" "$2"; sleep 0.1; }
# drag <x> <y> <dx> <dy>: presses at a point of the dialog, moves by (dx, dy) in steps, releases.
drag() {
  local X Y SCREEN WINDOW i
  at "$1" "$2"; xdotool mousedown 1; sleep 0.1
  eval "$(xdotool getmouselocation --shell)"
  for i in 1 2 3 4; do xdotool mousemove $((X + $3 * i / 4)) $((Y + $4 * i / 4)); sleep 0.05; done
  xdotool mouseup 1; sleep 0.3
}
where() { xdotool getwindowgeometry "$window" | sed -n 's/ *Position: \([0-9]*,[0-9]*\).*/\1/p'; }
size() { xdotool getwindowgeometry "$window" | sed -n 's/ *Geometry: //p'; }
# notes <code> <item>: how many notifications of that code for that item the log holds.
notes() { grep -c "^$1 $2 " "$log" || true; }
# tips: how many tooltips show (visible windows without a title that do not cover the screen).
tips() {
  local id n=0
  for id in $(xdotool search --onlyvisible --name '^$' 2>/dev/null); do
    xdotool getwindowgeometry "$id" | grep -q 'Geometry: 1024x768' || n=$((n + 1))
  done
  echo $n
}
shot() { import -display "$display" -window "$window" "$build/$1.png"; }

# The message box: each button set once, with a screenshot; a click on the first button, Enter,
# Escape and the close box end it as the owner expects.
show 1 0 '确定要退出安装吗？'
shot msgbox-set1
at 130 163; xdotool click 1
expect "OK / Cancel: a click on OK" 1
show 2 1 '安装已完成，是否立即启动 Lumen Office？'
shot msgbox-set2
press Escape
expect "Yes / No: Escape" 2
show 3 2 '安装失败。'
shot msgbox-set3
press Return
expect "install over / quit: Enter" 1
show 0 1 'OK alone'
shot msgbox-set0
at 355 15; xdotool click 1
expect "OK alone: the close box" 2

# A test layer: movable and resizable, a header text, buttons with and without a tip and a
# link whose href runs a script. The host writes every notification to $log.
printf '@echo opened>"%%~dp0opened.txt"\r\n' >"$work/opened.bat"
cat >"$work/900.xml" <<EOF
<layer title="Lumen Test" width="400" height="240" resize="1" noborder="1">
  <header height="30" class="header">
    <text id="10" pos="8,0,150,-0" class="msgtitle">Lumen Test</text>
    <imgbtn id="2" pos="-30,3" skin="closebtn"/>
  </header>
  <body class="msgbody">
    <button id="1" pos="20,20,110,50" class="normalbtn" tip="第一个按钮">OK</button>
    <button id="11" pos="130,20,220,50" class="normalbtn">no tip</button>
    <link id="12" pos="20,80,200,100" href="$folder\\opened.bat">open the link</link>
  </body>
</layer>
EOF
sed 's/resize="1"/resize="1" holdsize="1"/; s/Lumen Test/Lumen Fixed/g' "$work/900.xml" >"$work/901.xml"

open_dialog 'Lumen Test' layer 900 "$log"
start=$(where)
drag 60 65 50 40    # from OK: pressed there, released outside
drag 300 150 50 40  # from the body's background
check "dragging a button or the body leaves the window" "$(where)" "$start"
check "pressed on OK, released outside: codes 7 and 4, no click" "$(notes 7 1) $(notes 4 1) $(notes 1 1)" "1 1 0"
drag 250 15 50 40   # from the header's background
check "dragging the header moves the window" "$(where)" "$((${start%,*} + 50)),$((${start#*,} + 40))"
at 60 65; sleep 1.5
shown=$(tips)
at 170 65; sleep 1
check "a tip over OK, none over the button without one" "$shown $(tips)" "1 0"
at 60 120; xdotool click 1; sleep 2
check "the link opens its href and sends no click" "$(tr -d '\r ' <"$work/opened.txt" 2>/dev/null) $(notes 1 12)" "opened 0"
at 250 15; xdotool click --repeat 2 --delay 80 1; sleep 0.5
maximised=$(size)
at 250 15; xdotool click --repeat 2 --delay 80 1; sleep 0.5
check "a double click on the header maximises, another restores" "$maximised $(size)" "1024x768 400x240"
at 170 65; xdotool click 1; sleep 0.3     # shows the path edit box
at 100 202; xdotool click 1; xdotool key ctrl+a; xdotool type --delay 20 'D:\Lumen Office 2'; press Return
expect "Enter in the path edit box is OK" 1
check "the edit box gives back what was typed" "$(tail -1 "$log" | tr -d '\r')" 'text D:\Lumen Office 2'

open_dialog 'Lumen Fixed' layer 901 "$log"
at 250 15; xdotool click --repeat 2 --delay 80 1; sleep 0.5
check "a keep-size layer keeps its size when maximised" "$(size)" "400x240"
press Escape
expect "Escape ends it with 2" 2
exit $((failures > 0))
