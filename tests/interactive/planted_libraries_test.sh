#!/usr/bin/env bash
# Libraries planted beside the setup program, as in a downloads folder: a copy of
# planted_library.c under the name of every library the program loads, directly or through the
# system's components (taken from Wine's trace of a silent and a wizard install), and of the
# names known to be asked for by name. Then a silent install and a wizard install (the folder
# browser opened and closed on the way) must succeed without loading any of them.
#   planted_libraries_test.sh <x64 build folder>     (LUMEN_TEST_ARCH=x86: the 32-bit program)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$(cd "$1" && pwd)
work=$build/planted${LUMEN_TEST_ARCH:+-$LUMEN_TEST_ARCH}
# shellcheck source=wizard_machine.sh
. "$root/tests/interactive/wizard_machine.sh"
failures=0
check() {
  if [ "$2" = "$3" ]; then echo "ok   $1"; else echo "FAIL $1: '$2', not '$3'"; failures=$((failures + 1)); fi
}

# The marker library, built for the program's architecture.
if [ "${LUMEN_TEST_ARCH:-}" = x86 ]; then
  i686-w64-mingw32-gcc -shared -nostdlib -e _DllMain@12 -o "$work/marker.dll" "$root/tests/tools/planted_library.c" -lkernel32
else
  x86_64-w64-mingw32-gcc -shared -nostdlib -e DllMain -o "$work/marker.dll" "$root/tests/tools/planted_library.c" -lkernel32
fi

# silent_install / wizard_install: one install each; exit code in $rc.
silent_install() { forget; rc=0; (cd "$work" && run "$work/setup.exe" -s >/dev/null 2>&1) || rc=$?; }
wizard_install() {
  local _ window=
  forget
  (cd "$work" && run "$work/setup.exe" >/dev/null 2>&1) & local pid=$!
  for _ in $(seq 300); do
    window=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -1) || true
    [ -n "$window" ] && break
    sleep 0.1
  done
  if [ -n "$window" ]; then
    sleep 0.5
    at() { xdotool mousemove --window "$window" "$1" "$2"; sleep 0.15; xdotool click 1; sleep 0.5; }
    xdotool mousemove --window "$window" 200 311; sleep 1.2   # the folder's tip: the common controls load
    at 465 313                         # the settings link
    at 452 89; sleep 1.5               # browse: the shell's folder browser
    import -display "$display" -window root "$work-browse.png" 2>/dev/null || true
    xdotool key Escape; sleep 0.5
    xdotool windowfocus --sync "$window" 2>/dev/null || true
    at 270 262                         # install
  fi
  rc=0
  for _ in $(seq 600); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$pid" 2>/dev/null && { kill "$pid"; rc=timeout; }
  wait "$pid" || rc=$?
  [ -n "$window" ] || rc="no wizard"
}

# 1. What the program loads: Wine's trace of both installs, the setup program's processes only
# (the suite's programs run from the install folder and load what they load).
traced() {
  awk '/trace:loaddll:build_module Loaded/ {
         split($1, id, ":"); match($0, /Loaded L"[^"]*"/); path = substr($0, RSTART + 8, RLENGTH - 9)
         if (path ~ /\\setup\.exe$/) setup[id[1]] = 1; loads[id[1]] = loads[id[1]] "\n" path }
       END { for (p in setup) print loads[p] }' "$@" | sed 's/.*\\\\//' | tr 'A-Z' 'a-z' |
    grep -E '\.(dll|drv)$' | grep -v -x 'lmo.dll' | sort -u
}
WINEDEBUG=+pid,+loaddll silent_install 2>"$work/silent.trace"
WINEDEBUG=+pid,+loaddll wizard_install 2>"$work/wizard.trace"
names=$( { traced "$work/silent.trace" "$work/wizard.trace"
           printf '%s\n' uxtheme.dll dwmapi.dll propsys.dll windowscodecs.dll version.dll userenv.dll profapi.dll \
             cryptbase.dll apphelp.dll clbcatq.dll sspicli.dll ntmarta.dll oleacc.dll msimg32.dll shcore.dll \
             shlwapi.dll shell32.dll gdiplus.dll comctl32.dll winmm.dll wininet.dll iertutil.dll urlmon.dll \
             secur32.dll dbghelp.dll; } | sort -u)
check "the trace names the libraries behind GDI+ and the shell" \
  "$(grep -c -x -e gdiplus.dll -e windowscodecs.dll -e propsys.dll -e shell32.dll <<<"$names")" 4

# 2. Planted beside the program under each name, none is loaded.
for name in $names; do cp "$work/marker.dll" "$work/$name"; done
echo "planted $(wc -w <<<"$names") libraries beside setup.exe"
silent_install
check "silent install with the planted libraries" "$rc" 0
check "... none of them loaded" "$(cd "$work" && ls ./*.loaded 2>/dev/null | tr '\n' ' ')" ""
rm -f "$work"/*.loaded
wizard_install
check "wizard install (with the folder browser) with the planted libraries" "$rc" 0
check "... none of them loaded" "$(cd "$work" && ls ./*.loaded 2>/dev/null | tr '\n' ' ')" ""
forget
exit $((failures > 0))
