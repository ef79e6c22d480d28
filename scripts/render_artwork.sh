#!/usr/bin/env bash
# Renders the wizard's artwork from its SVG sources (res/artwork/<name>.svg) into a resource
# folder: <name>.png for the PNG skins and the progress bar, <name>@150.png and <name>@200.png
# for screens of 144 and 192 DPI, and, for the bitmap skins that
# res/skins.xml names (imglst, imgframe, imghorzex), <id>.bmp as well (24-bit, magenta where
# transparent). The same sources give the same bytes.
#   render_artwork.sh <folder>
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
mkdir -p "$1"
bitmaps=" $(grep -oE '<(imglst|imgframe|imghorzex) [^>]*src="[0-9]+"' "$root/res/skins.xml" |
  sed -E 's/.*src="([0-9]+)"/\1/' | tr '\n' ' ') "
for svg in "$root"/res/artwork/*.svg; do
  id=$(basename "$svg" .svg)
  rsvg-convert "$svg" -o "$1/$id.png.tmp"
  convert "$1/$id.png.tmp" -strip -define png:exclude-chunks=date,time "PNG32:$1/$id.png"
  for percent in 150 200; do   # the same pictures for screens of 144 and 192 DPI
    rsvg-convert -z "$(awk -v p=$percent 'BEGIN { print p / 100 }')" "$svg" -o "$1/$id@$percent.png.tmp"
    convert "$1/$id@$percent.png.tmp" -strip -define png:exclude-chunks=date,time "PNG32:$1/$id@$percent.png"
    rm -f "$1/$id@$percent.png.tmp"
  done
  if [[ $bitmaps == *" $id "* ]]; then
    convert "$1/$id.png.tmp" -background '#ff00ff' -flatten -type TrueColor BMP3:"$1/$id.bmp"
  fi
  rm -f "$1/$id.png.tmp"
done
