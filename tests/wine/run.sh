#!/usr/bin/env bash
# Runs one Windows test program under 64-bit Wine in the harness prefix (ctest's
# CMAKE_CROSSCOMPILING_EMULATOR) and exits with the program's exit code, as Wine passes it:
# the low 8 bits, except that a non-zero code whose low byte is 0 (256, 0x80000000) gives 1.
#   run.sh [--own-output] program.exe [args...]
# --own-output (ctest's test programs): the program writes to a file of its own, shown as it
#   grows until the program ends. Windows programs it starts can outlive it (Wine's desktop
#   process lingers after the last window, a program a killed run had started runs on) and
#   would otherwise hold the caller's output open, so that ctest waits for them too.
# Environment:
#   LUMEN_WINEPREFIX  the prefix (default <repo>/build/x64/wineprefix); prepared on first use
#   LUMEN_WINE_LANG   Unix locale the program sees: zh_CN.UTF-8 (default, system language
#                     2052), zh_TW.UTF-8 (1028), C.UTF-8 (English, 1033)
#   WINEDEBUG         default -all
#   DISPLAY           unset or empty: windows go to Wine's null display driver (invisible);
#                     set (e.g. from xvfb.sh): windows show up there
set -euo pipefail
own_output=
[ "${1:-}" != --own-output ] || { own_output=1; shift; }
[ $# -ge 1 ] || { echo "usage: run.sh [--own-output] program.exe [args...]" >&2; exit 2; }
here=${BASH_SOURCE[0]%/*}
[ "$here" != "${BASH_SOURCE[0]}" ] || here=.
# shellcheck source=env.sh
. "$here/env.sh" ""

prepared || "$harness_dir/prepare.sh" "$WINEPREFIX" >&2

# Wine's desktop process takes its display driver from the program that started it and dies
# with its X server, so a program with another DISPLAY than the previous run, or the same
# number on a newer Xvfb, needs a new server (and desktop).
display=${DISPLAY:-}
if [ -n "$display" ]; then
  n=${display#:}; n=${n%%.*}
  display="$display $(cat "/tmp/lumen-xvfb-$n.pid" 2>/dev/null || true)"
fi
last=
{ read -r last <"$WINEPREFIX/.lumen-display"; } 2>/dev/null || true
if [ "$display" != "$last" ]; then
  kill_server
  printf '%s\n' "$display" >"$WINEPREFIX/.lumen-display"
fi
# (Re)start the persistent server when needed; prepare.sh does that under its lock.
server_ready || "$harness_dir/prepare.sh" "$WINEPREFIX" >&2

export WINEDEBUG=${WINEDEBUG--all}
[ -n "$own_output" ] || exec "${wine_env[@]}" "$WINE64" "$@"
out=$(mktemp /tmp/lumen-run.XXXXXX)
trap 'rm -f "$out"' EXIT
"${wine_env[@]}" "$WINE64" "$@" >"$out" 2>&1 </dev/null &
program=$!
tail -n +1 -s 0.2 -f --pid=$program "$out" &
shown=$!
code=0
wait $program || code=$?
wait $shown || true
exit $code
