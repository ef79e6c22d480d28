#!/usr/bin/env bash
# Runs one Windows test program under 64-bit Wine in the harness prefix (ctest's
# CMAKE_CROSSCOMPILING_EMULATOR) and exits with the program's exit code, as Wine passes it:
# the low 8 bits, except that a non-zero code whose low byte is 0 (256, 0x80000000) gives 1.
#   run.sh program.exe [args...]
# Environment:
#   LUMEN_WINEPREFIX  the prefix (default <repo>/build/x64/wineprefix); prepared on first use
#   LUMEN_WINE_LANG   Unix locale the program sees: zh_CN.UTF-8 (default, system language
#                     2052), zh_TW.UTF-8 (1028), C.UTF-8 (English, 1033)
#   WINEDEBUG         default -all
#   DISPLAY           unset or empty: windows go to Wine's null display driver (invisible);
#                     set (e.g. from xvfb.sh): windows show up there
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: run.sh program.exe [args...]" >&2; exit 2; }
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
exec "${wine_env[@]}" "$WINE64" "$@"
