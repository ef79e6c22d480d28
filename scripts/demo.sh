#!/usr/bin/env bash
# The main job on the built-in demo: starts the built setup program under Wine in a throw-away
# prefix, silently, as a user would from a downloads folder, and shows what it did.
#   scripts/demo.sh <build folder>      (make demo)
set -euo pipefail
build=$(realpath "${1:-build/x64}")
repo=$(cd "$(dirname "$0")/.." && pwd)
export LUMEN_WINEPREFIX=$build/demo-prefix
"$repo/tests/wine/prepare.sh" "$LUMEN_WINEPREFIX" >/dev/null

downloads=$LUMEN_WINEPREFIX/drive_c/users/Public/Downloads
mkdir -p "$downloads"
cp "$build/bin/setup.exe" "$downloads/setup.exe"
roaming=$(find "$LUMEN_WINEPREFIX/drive_c/users" -maxdepth 3 -path '*AppData/Roaming' ! -path '*Public*' | head -n 1)
log="$roaming/tallis/office6/log/setup/lumensetup.log"
rm -f "$log"

echo "== setup.exe -s -p C:\\Demo\\Lumen (silent install) under Wine"
start=$(date +%s%N)
set +e
"$repo/tests/wine/run.sh" "$downloads/setup.exe" -s -p 'C:\Demo\Lumen' >/dev/null 2>&1
code=$?
set -e
ms=$(( ($(date +%s%N) - start) / 1000000 ))
echo "exit code: $code   (0 success, 2 failure; see the README for all codes)   time: ${ms} ms"
echo
echo "== the log: ${log#"$LUMEN_WINEPREFIX/"}"
if [ -f "$log" ]; then tr -d '\r' <"$log" | tail -n 20; else echo "(no log written)"; fi
echo
echo "== processes left behind (the user-level copy must have ended with the same code)"
# Wine shows Windows programs by their Windows path; zombies ([setup.exe]) have ended.
pgrep -af '^[A-Z]:\\.*setup\.exe' || echo "none"
