#!/usr/bin/env bash
# Renders the UI library's gallery layer (tests/data/gallery) headless under Wine into
# <build>/gallery.png and prints the layout-and-repaint benchmark.
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

# The message box (layer 105) with the program's own skins and styles, in each button set: the
# OK/Cancel group with the question icon, the single OK with the error icon.
box=$build/msgbox
rm -rf "$box" && mkdir -p "$box"
cp "$root/res/skins.xml" "$root/res/styles.xml" "$box/"
bash "$root/scripts/render_artwork.sh" "$box"
message='确定要退出 Lumen Office 的安装吗？已经复制的文件将被删除。'
sed -e 's|id="106" pos="0,0,-0,-0" show="0"|id="106" pos="0,0,-0,-0"|' -e 's|id="109" pos="28,35" skin="question" show="0"|id="109" pos="28,35" skin="question"|' \
    -e "s|<richtext id=\"105\" pos=\"74,44,-25,80\" class=\"msgtext\" linkclass=\"link\"/>|<richtext id=\"105\" pos=\"74,44,-25,80\" class=\"msgtext\" linkclass=\"link\">$message</richtext>|" \
    "$root/res/layers/105.xml" >"$box/question.xml"
sed -e 's|id="107" pos="0,0,-0,-0" show="0"|id="107" pos="0,0,-0,-0"|' -e 's|id="111" pos="28,35" skin="error" show="0"|id="111" pos="28,35" skin="error"|' \
    -e 's|<richtext id="105" pos="74,44,-25,80" class="msgtext" linkclass="link"/>|<richtext id="105" pos="176,44,-25,80" class="msgtext" linkclass="link">安装失败。</richtext>|' \
    -e 's|id="111" pos="28,35"|id="111" pos="130,35"|' "$root/res/layers/105.xml" >"$box/error.xml"
for kind in question error; do
  "$root/tests/wine/run.sh" "$build/bin/gallery.exe" "$(win "$box")" "$(win "$build/msgbox-$kind.png")" 0 "$kind.xml"
  echo "message box: $build/msgbox-$kind.png"
done
