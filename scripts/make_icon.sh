#!/usr/bin/env bash
# Renders the program's icon from its SVG source into a Windows icon file with the sizes the
# shell asks for (16, 24, 32, 48 and 256 pixels).
#   make_icon.sh <icon.svg> <out.ico>
set -euo pipefail
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for size in 16 24 32 48 256; do
  rsvg-convert -w "$size" -h "$size" "$1" -o "$tmp/$size.png"
done
convert "$tmp/16.png" "$tmp/24.png" "$tmp/32.png" "$tmp/48.png" "$tmp/256.png" -strip "$2"
