#!/usr/bin/env bash
# The main job on the built-in demo: packs a small demo payload behind the built setup program,
# starts it under Wine in a throw-away prefix as a user would from a downloads folder, and shows
# what it did.
#   scripts/demo.sh <build folder>      (make demo)
set -euo pipefail
build=$(realpath "${1:-build/x64}")
repo=$(cd "$(dirname "$0")/.." && pwd)
export LUMEN_WINEPREFIX=$build/demo-prefix
"$repo/tests/wine/prepare.sh" "$LUMEN_WINEPREFIX" >/dev/null

echo "== packing the demo payload with build/native/lumenpack"
bash "$repo/tests/data/make_test_data.sh" "$repo/build/native/lumenpack" "$build/bin/setup.exe" \
  "$build/bin/testtool.exe" "$build/demo-data" --no-large >/dev/null
"$repo/build/native/lumenpack" --verify "$build/demo-data/setup-packed.exe" || true

downloads=$LUMEN_WINEPREFIX/drive_c/users/Public/Downloads
rm -rf "$downloads" && mkdir -p "$downloads"
cp "$build/demo-data/setup-packed.exe" "$downloads/setup.exe"
roaming=$(find "$LUMEN_WINEPREFIX/drive_c/users" -maxdepth 3 -path '*AppData/Roaming' ! -path '*Public*' | head -n 1)
log="$roaming/tallis/office6/log/setup/lumensetup.log"

run() {
  echo
  echo "== setup.exe $* under Wine"
  rm -f "$log"
  local start code ms
  start=$(date +%s%N)
  set +e
  "$repo/tests/wine/run.sh" "$downloads/setup.exe" "$@" >/dev/null 2>&1
  code=$?
  set -e
  ms=$(( ($(date +%s%N) - start) / 1000000 ))
  echo "exit code: $code   (0 success, 2 failure; the README lists all codes)   time: ${ms} ms"
  echo "-- the log: ${log#"$LUMEN_WINEPREFIX/"}"
  if [ -f "$log" ]; then tr -d '\r' <"$log" | tail -n 14; else echo "(no log written)"; fi
}

run -e
echo "-- unpacked below the program's folder:"
(cd "$downloads" && find extract -maxdepth 3 | sort | head -n 30)
run -s -p 'C:\Demo\Lumen'
echo
echo "== processes left behind (the user-level copy ends with the same code as the installing copy)"
# Wine shows Windows programs by their Windows path; zombies ([setup.exe]) have ended.
pgrep -af '^[A-Z]:\\.*setup\.exe' || echo "none"
