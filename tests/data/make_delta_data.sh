#!/usr/bin/env bash
# Builds the update installers of the end-to-end tests of an update by delta: a new version of
# the demo suite (the demo product with a few changes), packed behind the setup program under
# test twice, as a full installer and as a delta made from the older release's installer.
#   make_delta_data.sh <lumenpack> <setup.exe> <demodata folder> <demodata-old folder> <out folder>
# Layout of <out folder> (made anew on every run):
#   product/          the new version: the demo product with office6\2052\strings.txt edited in
#                     two lines, office6\deck.exe grown by a few bytes, office6\2052\extra.dat
#                     and an empty folder office6\addons added, templates\2052\工作汇报.dps removed
#   setup-full.exe    the full installer of that version
#   setup-delta.exe   the delta from the older release's installer (demodata-old/setup-demo.exe)
#   setup-forged.exe  the same delta with a manifest that gives office6\2052\extra.dat (carried
#                     whole) another SHA-256, its entry's CRC-32 made to match: well-formed
#                     damage only the setup program's own checks can find
set -euo pipefail
if [ $# -ne 5 ]; then
  echo "usage: make_delta_data.sh <lumenpack> <setup.exe> <demodata folder> <demodata-old folder> <out folder>" >&2
  exit 2
fi
lumenpack=$(realpath "$1"); stub=$(realpath "$2"); demo=$(realpath "$3"); old=$(realpath "$4")
out=$(realpath -m "$5")
case "$out" in / | "$HOME") echo "make_delta_data.sh: refusing to empty $out" >&2; exit 1 ;; esac
rm -rf "$out" && mkdir -p "$out"
cd "$out"

cp -r "$demo/product" product
sed -i -e 's/^IDS_DEMO_0100=.*/IDS_DEMO_0100=新版字符串 100/' -e 's/^IDS_DEMO_0300=.*/IDS_DEMO_0300=新版字符串 300/' \
  product/office6/2052/strings.txt
printf 'Lumen Deck, new build' >>product/office6/deck.exe
printf 'extra data of the new version\n' >product/office6/2052/extra.dat
mkdir -p product/office6/addons
rm product/templates/2052/工作汇报.dps

"$lumenpack" --stub "$stub" --install "$demo/install" --product product --out setup-full.exe >/dev/null
"$lumenpack" --stub "$stub" --install "$demo/install" --product product --delta-from "$old/setup-demo.exe" \
  --out setup-delta.exe >delta.txt
# The forged delta: entry 2 (the last) taken out, its manifest changed and packed again.
off=$("$lumenpack" --verify setup-delta.exe | sed -n 's/^entry 2: offset \([0-9]*\), length.*/\1/p')
mkdir forged
tail -c +$((off + 1)) setup-delta.exe >forged/entry2.7z
(cd forged && 7zz x -y entry2.7z >/dev/null && rm entry2.7z &&
  perl -pi -e 's/^(new\toffice6\\2052\\extra\.dat\t\d+\t)(.)/$1 . ($2 eq "0" ? "1" : "0")/e' delta.manifest &&
  7zz a -t7z entry2.7z delta.manifest >/dev/null)
{
  head -c $((off - 8)) setup-delta.exe
  perl -e 'print pack("V", shift)' "$(stat -c %s forged/entry2.7z)"
  gzip -c forged/entry2.7z | tail -c 8 | head -c 4   # gzip's trailer: the CRC-32, little-endian
  cat forged/entry2.7z
} >setup-forged.exe
"$lumenpack" --verify setup-forged.exe >/dev/null
echo "delta test data ready: $out ($(cat delta.txt))"
