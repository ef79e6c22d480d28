#!/usr/bin/env bash
# The installation wizard of the packed demo installer, driven like a user drives it: a virtual
# X display, the setup program under Wine started without switches, xdotool clicking, typing and
# pressing keys. Checks what each run leaves (exit code, installed files, registry values,
# shortcuts, the suite programs' journal) against a silent install of the same choices, and
# photographs the pages (wizard-*.png beside the build).
#   wizard_test.sh <x64 build folder>
# With LUMEN_TEST_ARCH=x86 the same runs on the shipped 32-bit program's demo installer, its
# pictures named wizard-x86-*.png.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$(cd "$1" && pwd)
work=$build/wizard                      # the same place for both, as the setup program records it
pictures=$build/wizard${LUMEN_TEST_ARCH:+-$LUMEN_TEST_ARCH}
# shellcheck source=wizard_machine.sh
. "$root/tests/interactive/wizard_machine.sh"
export LUMEN_DEMO_JOURNAL
LUMEN_DEMO_JOURNAL=$(win "$work")\\journal.txt
failures=0

check() {
  if [ "$2" = "$3" ]; then echo "ok   $1"; else echo "FAIL $1: '$2', not '$3'"; failures=$((failures + 1)); fi
}
# What an installation left, as text: files with checksums, registry values, shortcuts, journal.
snapshot() {
  {
    echo "# files"
    (cd "$installed" && find . -type f -not -path '*/wtoolex/*' -printf '%P\n' | LC_ALL=C sort | while read -r f; do
      printf '%s %s\n' "$(md5sum <"$f" | cut -c1-12)" "$f"; done)
    echo "# registry"
    run reg query 'HKCU\Software\Tallis' /s 2>/dev/null | tr -d '\r' | grep -v -i 'InstallTime\|Date' || true
    run reg query 'HKCU\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Tallis Office' /s 2>/dev/null | tr -d '\r' || true
    echo "# shortcuts"
    (cd "$user" && find Desktop "AppData/Roaming/Microsoft/Windows/Start Menu/Programs" -iname '*.lnk' 2>/dev/null | LC_ALL=C sort)
    echo "# journal"
    # (the items the install list gives only to silent or only to interactive installs left out)
    [ -f "$work/journal.txt" ] && tr -d '\r' <"$work/journal.txt" | sed 's/^[0-9:. -]*//' |
      grep -v -i 'desktoptip\|\\Temp\\lumen\\\|lumenrecommended' | LC_ALL=C sort
  } >"$work/$1.txt"
}
# start_wizard [pause]: starts setup.exe without switches; sets $pid and $window.
start_wizard() {
  local _
  (cd "$work" && run "$work/setup.exe") &
  pid=$!
  window=
  for _ in $(seq 300); do
    window=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -1) || true
    [ -n "$window" ] && break
    sleep 0.1
  done
  [ -n "$window" ] || { echo "FAIL the wizard did not show"; kill "$pid"; exit 1; }
  sleep "${1:-0.5}"
}
# finish <seconds>: waits for the setup program to end; its exit code in $rc.
finish() {
  local _
  rc=0
  for _ in $(seq $(($1 * 10))); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$pid" 2>/dev/null && { echo "still running after $1 s"; kill "$pid"; }
  wait "$pid" || rc=$?
  run cmd /c exit 0 >/dev/null 2>&1 || true   # let the programs it started finish their journal
}
at() { xdotool mousemove --window "$window" "$1" "$2"; sleep 0.15; }
click() { at "$1" "$2"; xdotool click 1; sleep 0.3; }
press() { xdotool windowfocus --sync "$window" 2>/dev/null || true; xdotool key "$1"; sleep 0.3; }
shot() { import -display "$display" -window "$window" "$pictures-$1.png" 2>/dev/null || echo "FAIL no picture of $1"; }
alive() { kill -0 "$pid" 2>/dev/null && echo yes || echo no; }
message_box() { xdotool search --onlyvisible --name '^Lumen Office$' 2>/dev/null | head -1 || true; }
# await_box: the message box once it shows (up to 5 s), else nothing.
await_box() {
  local _ box
  for _ in $(seq 50); do box=$(message_box); [ -n "$box" ] && break; sleep 0.1; done
  sleep 0.2
  echo "$box"
}

# Places on the wizard (window pixels).
install_button='270 262'; settings_link='465 313'; agreement='37 339'; licence_link='200 339'; close_button='522 18'
browse_button='452 89'; back_link='66 332'; association='54 133'; save_format='54 161'; desktop_icon='54 189'

# 1. Defaults: the same installation as a silent one.
forget
(cd "$work" && run "$work/setup.exe" -s) && rc=0 || rc=$?
check "silent install" "$rc" 0
run cmd /c exit 0 >/dev/null 2>&1 || true
snapshot silent
cp "$work/silent.txt" "$pictures-silent.txt"
# The 32-bit program leaves what the 64-bit one left (files, registry, shortcuts, the suite's
# starts), when that one's test ran before in this build; only the stand-ins' programs differ.
if [ -n "${LUMEN_TEST_ARCH:-}" ] && [ -f "$build/wizard-silent.txt" ]; then
  programs_aside() { sed -E 's/^[0-9a-f]{12} (.*\.(exe|dll))$/------------ \1/' "$1"; }
  if diff -u <(programs_aside "$build/wizard-silent.txt") <(programs_aside "$work/silent.txt") >"$work/builds.diff"; then
    echo "ok   the $LUMEN_TEST_ARCH program installs what the 64-bit one installs"
  else
    echo "FAIL the $LUMEN_TEST_ARCH program installs otherwise:"; head -40 "$work/builds.diff"; failures=$((failures + 1))
  fi
fi
forget
# The cloud client's setup takes its time here, so that the installing page can be seen at
# several moments (the bar moving, the tips changing, the slides turning every 5 s).
LUMEN_DEMO_STAY_NAME=cirrussetup.exe LUMEN_DEMO_STAY_MS=6000 start_wizard
shot main
click $install_button
sleep 0.2; shot installing-1; sleep 2.3; shot installing-2; sleep 3; shot installing-3
finish 60
check "the wizard's defaults install and end with 0" "$rc" 0
snapshot wizard
if diff -u "$work/silent.txt" "$work/wizard.txt" >"$work/defaults.diff"; then
  echo "ok   the wizard's install equals the silent one (files, registry, shortcuts, journal)"
else
  echo "FAIL the wizard's install differs from the silent one:"; head -40 "$work/defaults.diff"; failures=$((failures + 1))
fi

# 2. The settings page: each refusal keeps the page; blanks and doubled backslashes are cleaned;
# the options unchecked there reach the suite's tools.
forget
start_wizard
click $settings_link
shot settings
# type_folder <text>: into the path edit box, replacing what it holds.
type_folder() { click 150 89; xdotool key ctrl+a BackSpace; xdotool type --delay 15 "$1"; sleep 0.2; }
# refused <folder> <message> [picture]: the folder is refused with that message (as the log
# names it) and the settings page stays.
refused() {
  type_folder "$1"
  click $install_button
  local box said
  box=$(await_box)
  [ -n "$box" ] && [ -n "${3:-}" ] && import -display "$display" -window "$box" "$pictures-refused-$3.png" 2>/dev/null
  xdotool key --clearmodifiers Return; sleep 0.4
  said=$(grep -a 'install folder refused:' "$log" | tail -1 | iconv -f GB18030 -t UTF-8 -c | tr -d '\r' | sed 's/.*(\(.*\))$/\1/')
  check "$1 refused: $2" "$([ -n "$box" ] && echo box) $(alive) $(message_box) $said" "box yes  $2"
}
log=$user/AppData/Roaming/tallis/office6/log/setup/lumensetup.log
bad='您选择的路径不正确，请重新选择。'
refused 'D:' "$bad" path
refused 'C:\' '不能安装在根目录，请重新选择。' root
refused 'D:Lumen' "$bad"
# Typing right after a refusal's message box closed goes to the path box, its text selected.
type_folder 'D:'
click $install_button; [ -n "$(await_box)" ] && xdotool key --clearmodifiers Return; sleep 0.4
xdotool type --delay 15 'x'; sleep 0.2
click $install_button; [ -n "$(await_box)" ] && xdotool key --clearmodifiers Return; sleep 0.4
check "typing after a refusal reaches the path box" \
  "$(grep -a -o 'install folder refused:[^(]*' "$log" | tail -1 | tr -d ' ')" 'installfolderrefused:x\'
refused 'D:\a;b' "$bad"
refused "C:\\$(printf 'L%.0s' $(seq 225))" '您选择的路径太长，请选择较短的路径。' long
if mountpoint -q "${TMPDIR:-/tmp}/lumen-small-drive"; then
  refused 'S:\Lumen' '您选择的磁盘空间不足，请重新选择。' space
else
  echo "skip S: is no small drive here"
fi
cp "$build/bin/standin.exe" "$work/lumen.exe"
(cd "$work" && LUMEN_DEMO_STAY_NAME=lumen.exe LUMEN_DEMO_STAY_MS=30000 run "$work/lumen.exe") &
suite_program=$!
sleep 1
refused 'C:\Lumen' '有一个 Lumen Office 应用程序实例 lumen.exe 在运行，请关闭后再开始安装！' running
kill "$suite_program" 2>/dev/null; run taskkill /im lumen.exe /f >/dev/null 2>&1 || true
click $association; click $save_format; click $desktop_icon
shot settings-unchecked
type_folder '  C:\\Lumen\\\\Suite  '
click $install_button
finish 60
check "install into the cleaned folder ends with 0" "$rc" 0
# The end follows the work: the wait for the suite's main program ends when nothing is left to
# signal it, and the wizard closes as the install thread ends, with no fixed pause.
ms_of() { grep -a "$1" "$log" | tail -1 | awk '{ split($2, t, ":"); print ((t[1] * 60 + t[2]) * 60 + t[3]) * 1000 + $3 }'; }
check "the wait for the suite says why it ended" \
  "$(grep -a -c -e 'the suite signalled after' -e 'no program of the suite is running after' "$log")" 1
end_ms=$(( $(ms_of 'EndDialog') - $(ms_of 'wait zismain[[:space:]]*$') ))
check "from the thread's last wait to the wizard's end: ${end_ms} ms" "$([ "$end_ms" -lt 300 ] && echo quick)" quick
check "the cleaned folder" "$(ls "$LUMEN_WINEPREFIX/drive_c/Lumen/Suite" 2>/dev/null | head -1)" 9.1.0.4720
check "the unchecked options reach the suite's configuration tool" \
  "$(grep -c 'config.exe./AssoToWord=0 /AssoToPowerpoint=0 /AssoToExcel=0 /SaveToMso=0 /DesktopShortcut=0' "$work/journal.txt")" 1
rm -rf "$LUMEN_WINEPREFIX/drive_c/Lumen"

# 3. The agreement gates the install button and Enter; the close button asks, Cancel stays,
# OK leaves with 1.
forget
start_wizard
# The licence named beside the check box opens as text, the wizard stays where it was.
click $licence_link
viewer=
for _ in $(seq 50); do viewer=$(xdotool search --onlyvisible --name '^licence\.txt' 2>/dev/null | head -1) || true; [ -n "$viewer" ] && break; sleep 0.1; done
[ -n "$viewer" ] && sleep 0.5 && import -display "$display" -window root "$pictures-licence.png" 2>/dev/null
check "the licence link opens the licence; the wizard stays" "$([ -n "$viewer" ] && echo shown) $(alive)" "shown yes"
run taskkill /im notepad.exe /f >/dev/null 2>&1 || true
click $agreement
shot disagreed
click $install_button; press Return
check "agreement unchecked: no install by button or Enter" "$(alive) $(message_box)" "yes "
click $close_button
box=$(await_box)
[ -n "$box" ] && import -display "$display" -window "$box" "$pictures-leave.png" 2>/dev/null
xdotool key Escape; sleep 0.5
check "close, then cancel: the wizard stays" "$([ -n "$box" ] && echo box) $(alive)" "box yes"
click $close_button; [ -n "$(await_box)" ] && xdotool key Return
finish 20
check "close, then OK: leaves with 1" "$rc" 1

# 4. Alt+F4 during the install does nothing; before it, the wizard leaves at once (with 2: nothing
# was installed). An old installation of the older layout below Program Files moves the proposed
# folder into the local application data.
forget
LUMEN_DEMO_STAY_NAME=cirrussetup.exe LUMEN_DEMO_STAY_MS=3000 start_wizard
click $install_button; sleep 1; press alt+F4; sleep 0.5
check "Alt+F4 during the install: nothing" "$(alive)" yes
finish 60
check "... and the install ends with 0" "$rc" 0
forget
old="$LUMEN_WINEPREFIX/drive_c/Program Files/Acme/Lumen Office Personal/8.1.0.1000"
mkdir -p "$old/office6" && cp "$build/bin/lmo.dll" "$old/office6/lmo.dll"
run reg add 'HKCU\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Tallis Office' /v LocationRoot /d \
  'C:\Program Files\Acme\Lumen Office Personal\8.1.0.1000\' /f >/dev/null 2>&1
start_wizard
press alt+F4
finish 20
check "Alt+F4 before the install leaves at once" "$rc" 2
check "an older-layout installation below Program Files: the folder moves to local application data" \
  "$(grep -a -o 'CMainDlg default folder:[^[:cntrl:]]*' "$user/AppData/Roaming/tallis/office6/log/setup/lumensetup.log" | tail -1)" \
  "CMainDlg default folder:C:\\users\\$(whoami)\\AppData\\Local\\Acme\\Lumen Office\\"
rm -rf "$LUMEN_WINEPREFIX/drive_c/Program Files/Acme"

# 5. The keyboard alone, no mouse event: Tab to the settings link and Enter; Tab into the path
# box and type; Tab over browse to the three options, Space on each; Tab to install, Enter.
forget
start_wizard
xdotool windowfocus --sync "$window" 2>/dev/null || true
keys() { xdotool key --delay 120 "$@"; sleep 0.4; }
keys Tab Tab Return
shot keyboard-settings
keys Tab   # into the path box, its text selected: typing replaces it
keys shift+c colon backslash shift+k e y s backslash shift+l u m e n
keys Tab Tab space Tab space Tab space
shot keyboard-options
keys Tab Return
finish 60
check "installed with the keyboard alone" "$rc $(ls "$LUMEN_WINEPREFIX/drive_c/Keys/Lumen" 2>/dev/null | head -1)" "0 9.1.0.4720"
check "... with the options the keyboard unchecked" \
  "$(grep -c 'config.exe./AssoToWord=0 /AssoToPowerpoint=0 /AssoToExcel=0 /SaveToMso=0 /DesktopShortcut=0' "$work/journal.txt")" 1
rm -rf "$LUMEN_WINEPREFIX/drive_c/Keys"

# 6. A screen reader in another process (accessible_client.exe) reads the main page's controls,
# unchecks and checks the agreement, presses install and follows the progress, all through the
# wizard's accessible objects.
forget
LUMEN_DEMO_STAY_NAME=cirrussetup.exe LUMEN_DEMO_STAY_MS=3000 start_wizard
reader() { run "$build/bin/accessible_client.exe" "$1" "$title" "${@:2}" | tr -d '\r'; }
# facts <name part>: role, state (without hot-tracked: the pointer may rest anywhere) and action
# of the first object of that name.
facts() {
  local role state action
  read -r role state action < <(reader tree | grep -a -m1 -F "\"$1" |
    sed 's/^ *\([^ ]*\) .* state=\([0-9a-f]*\) action=\([^ ]*\) .*/\1 \2 \3/') || true
  printf '%s %x %s\n' "${role:--}" $((0x${state:-0} & ~0x80)) "${action:-}"
}
tree=$(reader tree)
check "the reader sees the install button, available and visible" "$(facts 开始安装)" "push-button 100000 Press"
check "... the agreement, checked" "$(facts 我已阅读)" "check-box 100010 Uncheck"
check "... the settings link" "$(facts 更改设置)" "link 500000 Jump"
check "... the settings page's browse button, invisible" "$(facts 浏览)" "push-button 108000 Press"
# The install button's place, in screen pixels, lies inside the wizard's window.
eval "$(xdotool getwindowgeometry --shell "$window")"
read -r bx by bw bh < <(grep -a -m1 '开始安装' <<<"$tree" | sed 's/.* at=//; s/,/ /g')
check "... where it is on the screen" "$((bx >= X && by >= Y && bx + bw <= X + WIDTH && by + bh <= Y + HEIGHT))" 1
reader do 我已阅读 >/dev/null; sleep 0.4
check "unchecked through the reader: the install button becomes unavailable" "$(facts 我已阅读) $(facts 开始安装)" \
  "check-box 100000 Check push-button 100001 Press"
reader do 我已阅读 >/dev/null; sleep 0.4
check "checked again: available again" "$(facts 开始安装)" "push-button 100000 Press"
reader do 开始安装 >/dev/null
values=
for _ in $(seq 20); do values="$values $(reader value 安装进度 2>/dev/null || true)"; sleep 0.15; done
finish 60
check "installed through the reader" "$rc $([ -f "$installed/Lumen Office/9.1.0.4720/office6/lmo.dll" ] && echo installed)" "0 installed"
check "the progress read while installing moves up to 100 %" "$(tr ' ' '\n' <<<"$values" | grep -E '^[0-9]+%$' | tr -d % |
  awk 'BEGIN { ok = 1 } { if ($1 < last) ok = 0; last = $1; n++ } END { print (n >= 2 && ok) ? "rising" : "not: " n }')" rising
# 7. An install that fails (a configuration file held by another program: the final check finds
# it) closes the wizard with 2, and its log still ends with the install thread's last lines and
# the closing line.
forget
ini="$installed/Lumen Office/9.1.0.4720/utility/install.ini"
mkdir -p "$(dirname "$ini")" && : >"$ini"
(run "$build/bin/testtool.exe" hold "$(win "$ini")" none 20000 >/dev/null 2>&1 &)
sleep 1
start_wizard
click $install_button
finish 60
check "a failed install ends the wizard with 2" "$rc" 2
check "... its log has the install thread's end and the closing line" \
  "$(grep -a -c -e 'install end, return:0' -e 'setup end: failed, exit code 2' "$log")" 2
run taskkill /im testtool.exe /f >/dev/null 2>&1 || true

# 8. The focus comes back where it was after a nested dialog and after another window was
# active: a leave question answered "stay" and Enter again asks again (the close button keeps its
# mark), never installs; Alt+Tab away and back, the same.
forget
start_wizard
click 500 240                                   # the empty body: the view has the focus, no mark
press shift+Tab                                 # the mark moves backwards onto the close button
press Return; box=$(await_box)
[ -n "$box" ] && import -display "$display" -window root "$pictures-focus-leave.png" 2>/dev/null
xdotool key Escape; sleep 0.5
press Return; again=$(await_box)
check "the close button's mark survives the leave question: Enter asks again" \
  "$([ -n "$box" ] && echo box) $([ -n "$again" ] && echo again) $(alive)" "box again yes"
[ -n "$again" ] && { xdotool key Escape; sleep 0.5; }
(cd "$work" && run notepad.exe >/dev/null 2>&1) &
other=
for _ in $(seq 50); do other=$(xdotool search --onlyvisible --class notepad 2>/dev/null | head -1) || true; [ -n "$other" ] && break; sleep 0.1; done
[ -n "$other" ] && { xdotool windowfocus --sync "$other" 2>/dev/null || true; sleep 0.5; }
run taskkill /im notepad.exe >/dev/null 2>&1 || true   # closed: the system activates the wizard again
sleep 1
press Return; third=$(await_box)
import -display "$display" -window root "$pictures-focus-back.png" 2>/dev/null || echo "FAIL no picture of focus-back"
check "after another window was active: Enter still acts on the mark" "$([ -n "$third" ] && echo asks) $(alive)" "asks yes"
[ -n "$third" ] && xdotool key Return                  # OK: leave
finish 20
check "... and nothing was installed" "$rc $([ -d "$installed" ] && echo installed)" "1 "
run taskkill /im notepad.exe /f >/dev/null 2>&1 || true

# 9. Another program sends the wizard the extraction's messages with a pointer of its own: none
# is followed. While the leave question is the active window, a reader opens the settings page:
# the path box is made in the wizard all the same, and what is typed into it is where the suite
# goes.
forget
start_wizard
stranger() { run "$build/bin/testtool.exe" send "$title" "$1" 16 >/dev/null 2>&1 && echo answered || echo lost; }
check "another program's extraction messages are not followed" \
  "$(stranger 3012) $(stranger 3013) $(alive) $(grep -a -c "without this program's key ignored" "$log")" "answered answered yes 1"
click $close_button; box=$(await_box)
reader do 更改设置 >/dev/null; sleep 0.5
[ -n "$box" ] && xdotool key Escape; sleep 0.5
type_folder 'C:\Reader\Lumen'
shot reader-settings
click $install_button
finish 60
check "the settings page opened by a reader behind the leave question takes the typed folder" \
  "$rc $(ls "$LUMEN_WINEPREFIX/drive_c/Reader/Lumen" 2>/dev/null | head -1)" "0 9.1.0.4720"
rm -rf "$LUMEN_WINEPREFIX/drive_c/Reader"

# 10. A product of many files, decoded in memory while the wizard shows (under 30 MiB). Leaving
# before the install stops that decoding at once; during the install the bar follows the files
# being written (values between the extraction's 10 % and 80 % while they are written).
big=$work/big
rm -rf "$big" && mkdir -p "$big/product/data"
cp -r "$build/demodata${LUMEN_TEST_ARCH:+-$LUMEN_TEST_ARCH}/product/." "$big/product/"
for i in $(seq 1500); do head -c 6000 /dev/urandom >"$big/product/data/f$i.bin"; done
head -c 18000000 /dev/urandom >"$big/product/data/large.bin"   # about a second to decode
stub=$build/bin/setup.exe
[ "${LUMEN_TEST_ARCH:-}" = x86 ] && stub=$root/build/x86/bin/setup.exe
"$root/build/native/lumenpack" --stub "$stub" --install "$build/demodata${LUMEN_TEST_ARCH:+-$LUMEN_TEST_ARCH}/install" \
  --product "$big/product" --out "$work/setup.exe" >/dev/null
forget
start_wizard 0
# The decoding starts after the first paint: the user leaves once it runs (the log says so).
for _ in $(seq 100); do grep -aq 'LoadProductPacket CreateThread return:[1-9]' "$log" 2>/dev/null && break; sleep 0.05; done
press alt+F4
finish 20
check "leaving while the product is decoded: exit 2, the decoding stopped" \
  "$rc $(grep -a -c 'the preload was stopped' "$log")" "2 1"
forget
start_wizard
sleep 3                                          # the product is decoded in memory meanwhile
click $install_button
during=0
for _ in $(seq 60); do
  grep -a -q 'ExtractMemoryFiles return' "$log" 2>/dev/null && break
  v=$(reader value 安装进度 2>/dev/null | tr -d '%' || true)
  [[ $v =~ ^[0-9]+$ ]] && [ "$v" -gt 15 ] && [ "$v" -lt 75 ] && during=$((during + 1))
done
finish 60
check "the bar moves while the files are written from memory" "$rc $([ "$during" -ge 2 ] && echo moves || echo "stays ($during)")" "0 moves"
rm -rf "$big"
forget
exit $((failures > 0))
