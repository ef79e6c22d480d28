#!/usr/bin/env bash
# Renders the UI library's gallery layer (tests/data/gallery) headless under Wine into
# <build>/gallery.png and prints the layout-and-repaint and hover benchmarks.
#   gallery.sh <x64 build folder>
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "$1" && pwd)
work=$build/gallery
rm -rf "$work" && mkdir -p "$work"
cp "$root"/tests/data/gallery/*.xml "$work/"
bash "$root/scripts/render_artwork.sh" "$work"
export LUMEN_WINEPREFIX=${LUMEN_WINEPREFIX:-$build/wineprefix}
"$root/tests/wine/prepare.sh" "$LUMEN_WINEPREFIX" >/dev/null
win() { WINEPREFIX=$LUMEN_WINEPREFIX winepath -w "$1" 2>/dev/null; }
"$root/tests/wine/run.sh" "$build/bin/gallery.exe" "$(win "$work")" "$(win "$build/gallery.png")" 200
echo "gallery: $build/gallery.png"

