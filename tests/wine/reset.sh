#!/usr/bin/env bash
# Puts back the prefix settings that tests change for a while (per-program Windows versions,
# the user's application-data folders), in case an interrupted run left them changed. Run by
# the harness fixture before every test run; the prefix must be prepared.
#   reset.sh [prefix-dir]
set -euo pipefail
# shellcheck source=env.sh
. "$(dirname "${BASH_SOURCE[0]}")/env.sh" "${1:-}"
reg() { WINEDEBUG=-all "${wine_env[@]}" "$WINE64" reg "$@" >/dev/null 2>&1 </dev/null; }
reg delete 'HKCU\Software\Wine\AppDefaults' /f || true   # none is the harness's own
folders='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders'
reg add "$folders" /v 'Local AppData' /t REG_EXPAND_SZ /d '%USERPROFILE%\AppData\Local' /f
reg add "$folders" /v AppData /t REG_EXPAND_SZ /d '%USERPROFILE%\AppData\Roaming' /f

# Drive S:, a 4 MiB file system for the full-disk tests: a tmpfs where the machine lets us mount
# one (as root); elsewhere a plain folder, and those tests skip. Kept out of the build folder so
# that removing the build never meets a mount point.
small=${TMPDIR:-/tmp}/lumen-small-drive
mkdir -p "$small"
mountpoint -q "$small" || mount -t tmpfs -o size=4m lumen-small "$small" 2>/dev/null || true
ln -sfn "$small" "$WINEPREFIX/dosdevices/s:"
