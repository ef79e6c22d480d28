#!/usr/bin/env bash
# Builds the demo suite: the built-in payload that `make demo` installs and the end-to-end tests
# use, packed behind a setup program.
#   make_demo_payload.sh <lumenpack> <setup.exe> <standin.exe> <lmo.dll> <out folder>
# Layout of <out folder> (removed and made anew on every run; the same inputs give the same files):
#   install/         entry 0: demo/payload/install (setup.xml, deeprecommend.xml) and install_res/
#                    (the licence text the wizard links to; placeholder wizard images drawn here
#                    with ImageMagick)
#   product/         entry 1: the suite tree; every program is the stand-in (demo/standin), copied
#                    under the name the install list starts, lmo.dll is the stand-in library,
#                    everything else is small placeholder data
#   setup-demo.exe   the installer (setup.exe + packet)
#   oem.ini          an OEM file; tests put it beside setup.exe when they want one
#   oeminfo/         the OEM folder that goes with it
set -euo pipefail
if [ $# -ne 5 ]; then
  echo "usage: make_demo_payload.sh <lumenpack> <setup.exe> <standin.exe> <lmo.dll> <out folder>" >&2
  exit 2
fi
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
lumenpack=$(realpath "$1"); stub=$(realpath "$2"); standin=$(realpath "$3"); lmo=$(realpath "$4")
for input in "$lumenpack" "$stub" "$standin" "$lmo"; do
  [ -f "$input" ] || { echo "make_demo_payload.sh: $input is missing" >&2; exit 1; }
done
out=$(realpath -m "$5")
case "$out" in / | "$repo" | "$HOME") echo "make_demo_payload.sh: refusing to empty $out" >&2; exit 1 ;; esac
rm -rf "$out" && mkdir -p "$out"
cd "$out"

# --- entry 0: the install list and the wizard's images -------------------------------------
mkdir -p install/install_res
cp "$repo/demo/payload/install/setup.xml" "$repo/demo/payload/install/deeprecommend.xml" install/
cp "$repo/demo/payload/install/licence.txt" install/install_res/
# No time chunks, no metadata: the same bytes on every run.
bash "$repo/scripts/render_artwork.sh" install/install_res

# --- entry 1: the suite ----------------------------------------------------------------------
p=product
mkdir -p "$p/utility" "$p/office6/2052" "$p/office6/cfgs" "$p/office6/mui/2052" "$p/office6/mui/default" \
         "$p/wtoolex" "$p/templates/2052"
for program in utility/config.exe utility/uninst.exe \
               office6/lmomisc.exe office6/setlang.exe office6/lumen.exe office6/grid.exe office6/deck.exe \
               office6/lumenupdate.exe office6/zlumenlive.exe office6/lumenrecommended.exe \
               office6/downloadtool.exe office6/cirrus.exe office6/cirrussetup.exe \
               wtoolex/desktoptip.exe wtoolex/lumenupdate.exe; do
  cp "$standin" "$p/$program"
done
cp "$lmo" "$p/office6/lmo.dll"
# The recommendation and download tools' companions: only copied around, never loaded.
for name in QtCore4.dll QtGui4.dll QtNetwork4.dll QtXml4.dll phonon4.dll msvcp100.dll msvcr100.dll; do
  printf 'Lumen Office demo suite: placeholder for %s\n' "$name" >"$p/office6/$name"
done
printf '[Paths]\nPrefix = .\nPlugins = qtplugins\n' >"$p/office6/qt.conf"
# New-document templates, copied into the user's profile by the "copynewfile" step.
printf 'Lumen Writer blank document (demo)\n' >"$p/office6/2052/newfile.lumen"
printf 'Lumen Grid blank workbook (demo)\n' >"$p/office6/2052/newfile.grid"
printf 'Lumen Deck blank presentation (demo)\n' >"$p/office6/2052/newfile.dps"
# Data files: "movefile" moves lmoinfo.dat to office6\data, "deletetempfile" deletes setuptemp.dat.
printf 'lmoinfo demo data\n' >"$p/utility/lmoinfo.dat"
printf 'temporary setup data, deleted by the installer\n' >"$p/utility/setuptemp.dat"
# The installer writes office6\cfgs\setup.cfg; the folder ships with the suite.
printf '[addons]\nenabled=0\n' >"$p/office6/cfgs/addons.cfg"
{
  for i in $(seq 1 400); do printf 'IDS_DEMO_%04d=演示字符串 %d\n' "$i" "$i"; done
} >"$p/office6/2052/strings.txt"
printf '[language]\nid=2052\nname=简体中文\n' >"$p/office6/mui/2052/lang.ini"
printf '[language]\nid=1033\nname=English\n' >"$p/office6/mui/default/lang.ini"
printf '公文模板 (demo)\n' >"$p/templates/2052/公文模板.lumen"
printf '销售报表 (demo)\n' >"$p/templates/2052/销售报表.grid"
printf '工作汇报 (demo)\n' >"$p/templates/2052/工作汇报.dps"

# --- the installer, and an OEM file for the tests -------------------------------------------
"$lumenpack" --stub "$stub" --install install --product product --out setup-demo.exe >/dev/null
printf '[setup]\r\nPipeNumber=123\r\nStartMenuDir=Lumen Office OEM\r\nVersionNumber=9.1.0.4720\r\nLaunchLumen=2\r\nLaunchCenter=2\r\nSourceDir=\r\n' >oem.ini
mkdir -p oeminfo
printf 'Lumen Office OEM edition (demo): customised by the channel partner\r\n' >oeminfo/oemabout.txt

echo "demo payload ready: $out/setup-demo.exe"
