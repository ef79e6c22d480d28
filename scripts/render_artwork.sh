#!/usr/bin/env bash
# Renders the wizard's artwork from its SVG sources (res/artwork/<id>.svg) into a resource
# folder: <id>.png for the PNG skins, and <id>.bmp (24-bit, magenta where transparent) for the
# bitmap skins. The same sources give the same bytes.
#   render_artwork.sh <folder>
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
mkdir -p "$1"
for svg in "$root"/res/artwork/*.svg; do
  id=$(basename "$svg" .svg)
  rsvg-convert "$svg" -o "$1/$id.png.tmp"
  convert "$1/$id.png.tmp" -strip -define png:exclude-chunks=date,time "PNG32:$1/$id.png"
  convert "$1/$id.png.tmp" -background '#ff00ff' -flatten -type TrueColor BMP3:"$1/$id.bmp"
  rm -f "$1/$id.png.tmp"
done
