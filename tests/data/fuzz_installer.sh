#!/usr/bin/env bash
# The long run of the damaged-installer check: 1000 damaged copies of the packed test installer
# (about 10 minutes). Needs a built tree with its test data (make test once).
#   tests/data/fuzz_installer.sh [cases] [seed]
set -euo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
export LUMEN_FUZZ_CASES=${1:-1000} LUMEN_FUZZ_SEED=${2:-$RANDOM$RANDOM}
export LUMEN_WINEPREFIX=${LUMEN_WINEPREFIX:-$repo/build/x64/wineprefix}
echo "damaging $LUMEN_FUZZ_CASES installers with seed $LUMEN_FUZZ_SEED"
"$repo/tests/wine/run.sh" "$repo/build/x64/bin/e2e_tests.exe" \
  --gtest_filter=DamagedInstaller.UnpacksCorrectlyOrFailsCleanly
