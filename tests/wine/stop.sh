#!/usr/bin/env bash
# Ends the persistent wineserver of the harness prefix and every Windows program still running
# in it (the ctest cleanup fixture). The registry is written to disk on the way out.
#   stop.sh [prefix-dir]     default: LUMEN_WINEPREFIX, else <repo>/build/x64/wineprefix
set -euo pipefail
# shellcheck source=env.sh
. "$(dirname "${BASH_SOURCE[0]}")/env.sh" "${1:-}"

[ -d "$WINEPREFIX" ] || exit 0
kill_server
umount "${TMPDIR:-/tmp}/lumen-small-drive" 2>/dev/null || true
