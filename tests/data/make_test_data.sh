#!/usr/bin/env bash
# Makes the payloads, archives and packed installers that the packet tests read, and the
# reference trees Debian's 7zz extracts from the same archives.
#   make_test_data.sh <lumenpack> <setup.exe> <testtool.exe> <out folder>
# Layout of <out folder>:
#   install/, product/          the two input folders (product has an empty folder, Chinese
#                               names, nested folders, PE files and data files)
#   install.7z, product.7z      the entries as the packer makes them (extracted from the installer)
#   ref/install, ref/product    what `7zz x` gives for them
#   setup-packed.exe            stub + packet
#   setup-bare.exe              the stub alone
#   setup-no-setup-xml.exe, setup-broken-setup-xml.exe, setup-empty-list.exe
#                               the same product with an install entry that cannot steer an
#                               installation
#   setup-failing-item.exe      an install list whose first program is no program, the next one
#                               not in the product
#   setup-signed.exe            the same, signed with a throw-away certificate (table after the packet)
#   setup-many.exe, ref/many    a product of 400 files in two blocks (data, programs), long
#                               enough to unpack that a run can be stopped halfway
set -euo pipefail
lumenpack=$(realpath "$1"); stub=$(realpath "$2"); tool=$(realpath "$3"); out=$4
rm -rf "$out" && mkdir -p "$out" && cd "$out"

mkdir -p install/install_res product/office6/2052 product/Upper product/templates/空 product/utility \
         product/wtoolex product/office6/addons/empty
cat >install/setup.xml <<'EOF'
<?xml version="1.0" encoding="UTF-8"?>
<config><office><info iid="" tid1="" tid2="" productid="" versiontypes="" silent="0"/>
<install><item path="writeinifile" param="" wait="0" show="0" type="install;silent"/></install></office></config>
EOF
printf '<Config><DeepRecommend number="0"/></Config>\n' >install/deeprecommend.xml
head -c 5000 /dev/zero | tr '\0' 'p' >install/install_res/bg.png
printf 'root file\n' >product/readme.txt
printf 'second root file\n' >product/a.txt
cp "$tool" product/office6/lumen.exe
cp "$tool" product/office6/lmo.dll
cp "$tool" product/Upper/upper.exe  # capital letters sort before small ones
printf 'driver bytes\n' >product/office6/lumentestflt.SYS
printf 'not a driver\n' >product/office6/notdriver.sysx
printf 'damaged program\n' >product/office6/broken.exe
seq 1 20000 >product/office6/2052/strings.txt
printf '中文内容\n' >product/templates/空/模板.dot
: >product/utility/empty.ini
head -c 300000 /dev/urandom >product/wtoolex/random.bin

"$lumenpack" --stub "$stub" --install install --product product --out setup-packed.exe >/dev/null
cp "$stub" setup-bare.exe  # the setup program without a packet
# The entries as written into the installer, read back by the packet layout.
u32() { od -An -tu4 -j "$2" -N4 "$1" | tr -d ' '; }
pe=$(u32 setup-packed.exe 60)
at=$(( $(u32 setup-packed.exe $((pe + 8))) + 6 ))
for name in install product; do
  len=$(u32 setup-packed.exe "$at")
  dd if=setup-packed.exe of="$name.7z" bs=64K iflag=skip_bytes,count_bytes skip=$((at + 8)) count="$len" status=none
  at=$((at + 8 + len))
done
mkdir -p ref/install ref/product
7zz x -y -oref/install install.7z >/dev/null
7zz x -y -oref/product product.7z >/dev/null

# Payloads whose configuration cannot steer an installation.
variant() {  # <name> <setup.xml text, or "-" for none>
  rm -rf "install-$1" && cp -r install "install-$1"
  if [ "$2" = - ]; then rm "install-$1/setup.xml"; else printf '%s' "$2" >"install-$1/setup.xml"; fi
  # (unchecked: these test the setup program's own refusal of a configuration that cannot steer it)
  "$lumenpack" --stub "$stub" --install "install-$1" --product product --out "setup-$1.exe" --unchecked-xml >/dev/null
  rm -rf "install-$1"
}
variant no-setup-xml -
variant broken-setup-xml '<config><office><info/><install><item path="writeinifile"></install></office>'
variant empty-list '<config><office><info silent="0"/><install></install></office></config>'
variant failing-item '<config><office><info/><install>
<item path="office6\broken.exe" param="-y" wait="-1" show="0" type="silent"/>
<item path="office6\missing.exe" param="-x" wait="-1" show="0" type="silent"/>
<item path="writeinifile" type="silent"/></install></office></config>'

# Many files, data and programs: the product's two blocks decode at once.
rm -rf many && cp -r product many
for i in $(seq 1 300); do
  mkdir -p "many/data/d$((i % 12))"
  head -c 16000 /dev/urandom >"many/data/d$((i % 12))/f$i.bin"
done
for i in $(seq 1 100); do mkdir -p "many/bin/b$((i % 5))"; cp "$tool" "many/bin/b$((i % 5))/p$i.exe"; done
"$lumenpack" --stub "$stub" --install install --product many --out setup-many.exe >/dev/null
cp -r many ref/many
rm -rf many

# Signing comes after packing: the certificate table lands behind the packet.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Lumen test signing" \
  -keyout key.pem -out cert.pem >/dev/null 2>&1
osslsigncode sign -certs cert.pem -key key.pem -n "Lumen Office" -in setup-packed.exe \
  -out setup-signed.exe >/dev/null
rm -f key.pem cert.pem

echo "test data ready in $out"
