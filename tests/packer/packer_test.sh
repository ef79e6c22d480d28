#!/usr/bin/env bash
# Tests of lumenpack, the release team's packer: packs folders made here behind the built setup
# program and takes the installer apart again with 7zz.
#   tests/packer/packer_test.sh <lumenpack> <setup.exe as built>
# Needs 7zz; the signing cases also need openssl and osslsigncode (skipped, and said so, without).
# The programs packed as the suite's programs are the stub itself and testtool.exe from its folder.
set -uo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 <lumenpack> <setup.exe>" >&2
  exit 2
fi
for need in "$1" "$2"; do
  [ -f "$need" ] || { echo "missing $need" >&2; exit 2; }
done
lp=$(realpath "$1")
stub=$(realpath "$2")
testtool=$(dirname "$stub")/testtool.exe
[ -f "$testtool" ] || testtool=$stub
command -v 7zz >/dev/null || { echo "7zz is needed (Debian package 7zip)" >&2; exit 2; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# lumenpack's temporary folders go here, so the tests can see that none is left behind.
export TMPDIR=$tmp/tmpdir
mkdir -p "$TMPDIR"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
section() { echo "== $*"; }

# make_inputs <folder> <reverse>: the install and product folders. The same content every time
# (random data comes from $tmp/random); with reverse=1 the files are created in the opposite
# order, with other permissions and times, to show none of that reaches the installer.
head -c 300000 /dev/urandom >"$tmp/random"
make_inputs() {
  local root=$1 reverse=$2 spec
  spec=$(cat <<'EOF'
install/setup.xml|text|<config product="Lumen Office"><page id="welcome"/></config>
install/images/welcome.bmp|random|0|90000
install/images/背景图片.png|random|90000|20000
install/sounds/done.wav|wav|0
install/images/10@150.png|random|120000|3000
install/images/10@200.png|random|130000|4000
product/office6/lumen.exe|program|testtool
product/office6/lmo.dll|program|stub
product/office6/插件/中文插件.dll|program|testtool
product/office6/fake.exe|text|MZ but no PE header behind it
product/office6/resources.pak|random|110000|150000
product/office6/empty.dat|empty
product/office6/cache/|folder
product/templates/报告.dotx|random|260000|30000
product/office6/media/chime.wav|wav|200000
product/templates/空文件夹/|folder
product/templates/nested/a/b/c/deep.txt|text|deep inside
product/utility/-dash.txt|text|starts like a switch
product/utility/@at.txt|text|starts like a list file
product/utility/with space.txt|text|spaces inside
product/wtoolex/tool.ini|text|[tool]
product/templates/cover@150.png|random|140000|2000
EOF
  )
  [ "$reverse" = 1 ] && spec=$(tac <<<"$spec")
  while IFS='|' read -r path kind a b; do
    local f=$root/$path
    case $kind in
      folder) mkdir -p "$f"; continue ;;
    esac
    mkdir -p "$(dirname "$f")"
    case $kind in
      text) echo "$a" >"$f" ;;
      random) tail -c +$((a + 1)) "$tmp/random" | head -c "$b" >"$f" ;;
      empty) : >"$f" ;;
      # 16-bit stereo PCM: 7zz would give it a Delta filter, and a block of its own, by default.
      wav) { printf 'RIFFd\x9c\0\0WAVEfmt \x10\0\0\0\x01\0\x02\0\x44\xac\0\0\x10\xb1\x02\0\x04\0\x10\0data@\x9c\0\0'
             tail -c +$((a + 1)) "$tmp/random" | head -c 40000; } >"$f" ;;
      program) if [ "$a" = stub ]; then cp "$stub" "$f"; else cp "$testtool" "$f"; fi ;;
    esac
    if [ "$reverse" = 1 ]; then
      chmod 600 "$f"
      touch -d '2001-02-03 04:05:06' "$f"
    fi
  done <<<"$spec"
  [ "$reverse" = 1 ] && chmod 700 "$root/product/office6"
  return 0
}

# pack <out> <install> <product> [stub] [more options]: packs, failing the test on any message
# or error.
pack() {
  local out=$1 install=$2 product=$3 use_stub=${4:-$stub}
  if ! "$lp" --stub "$use_stub" --install "$install" --product "$product" --out "$out" "${@:5}" 2>"$tmp/pack.err" ||
    [ -s "$tmp/pack.err" ]; then
    fail "packing $out: $(cat "$tmp/pack.err")"
    return 1
  fi
}

# entry_field <verify output> <entry> <offset|length>
entry_field() { sed -n "s/^entry $2: offset \([0-9]*\), length \([0-9]*\),.*/\\$([ "$3" = offset ] && echo 1 || echo 2)/p" "$1"; }

# extract_entries <installer> <folder>: writes entry0.7z and entry1.7z into <folder> through
# --verify's offsets and unpacks them into <folder>/entry0 and <folder>/entry1.
extract_entries() {
  local installer=$1 dir=$2 i off len
  mkdir -p "$dir"
  if ! "$lp" --verify "$installer" >"$dir/verify.txt" 2>"$dir/verify.err"; then
    fail "--verify $installer: $(cat "$dir/verify.err")"
    return 1
  fi
  for i in 0 1; do
    off=$(entry_field "$dir/verify.txt" $i offset)
    len=$(entry_field "$dir/verify.txt" $i length)
    tail -c +$((off + 1)) "$installer" | head -c "$len" >"$dir/entry$i.7z"
    7zz x -o"$dir/entry$i" "$dir/entry$i.7z" >/dev/null || fail "7zz cannot unpack entry $i of $installer"
  done
}

# u32 <file> <offset>: little-endian number in a file.
u32() { od -An -tu4 -j "$2" -N4 "$1" | tr -d ' '; }

# listing <archive>: "path<TAB>block<TAB>methods" for every item 7zz lists; blocks <archive>.
listing() { 7zz l -slt "$1" | sed -n '/^----------$/,$p' | awk -F' = ' '
  /^Path = /{p=$2} /^Method = /{m=$2} /^Block = /{print p "\t" $2 "\t" m}'; }
blocks() { 7zz l -slt "$1" | sed -n 's/^Blocks = //p' | head -1; }
# The method strings of a data block and of a program block.
lzma='^LZMA:[0-9a-z]+$'
bcj2='^BCJ2( LZMA:[0-9a-z:]+)+$'

# check_checksum <installer>: the CheckSum field against the PE checksum as Windows computes it
# (16-bit words summed with end-around carry, the field itself counted as zero, plus the length),
# written here independently of lumenpack.
check_checksum() {
  local size stored computed
  size=$(stat -c %s "$1")
  stored=$(printf '%08x' "$(u32 "$1" $((pe + 88)))")
  computed=$(od -An -v --endian=little -tu2 -w2 "$1" | awk -v field=$(((pe + 88) / 2)) -v size="$size" '
    NR - 1 != field && NR - 1 != field + 1 { s += $1; if (s >= 65536) s = s % 65536 + int(s / 65536) }
    END { s = s % 65536 + int(s / 65536); printf "%08x", (s + size) % 4294967296 }')
  [ "$stored" = "$computed" ] || fail "CheckSum of $(basename "$1") is $stored, the file sums to $computed"
}

make_inputs "$tmp/in" 0
make_inputs "$tmp/elsewhere/other" 1
stub_size=$(stat -c %s "$stub")
pe=$(u32 "$stub" 60)

section "packing folders: the entries hold exactly the input folders"
mkdir -p "$tmp/out"
pack "$tmp/out/a.exe" "$tmp/in/install" "$tmp/in/product"
extract_entries "$tmp/out/a.exe" "$tmp/x"
diff -r "$tmp/in/install" "$tmp/x/entry0" >"$tmp/diff0" || fail "entry 0 differs from the install folder: $(head -3 "$tmp/diff0")"
diff -r "$tmp/in/product" "$tmp/x/entry1" >"$tmp/diff1" || fail "entry 1 differs from the product folder: $(head -3 "$tmp/diff1")"
[ -d "$tmp/x/entry1/templates/空文件夹" ] || fail "the empty folder with a Chinese name did not come back as a folder"
[ -f "$tmp/x/entry1/office6/empty.dat" ] && [ ! -s "$tmp/x/entry1/office6/empty.dat" ] ||
  fail "the empty file did not come back as an empty file"
[ -z "$(ls -A "$TMPDIR")" ] || fail "temporary files left behind: $(ls -A "$TMPDIR")"
[ "$(ls -A "$tmp/out")" = a.exe ] || fail "the output folder holds more than the installer: $(ls -A "$tmp/out")"

section "block structure: install LZMA blocks (its pictures for 150 % and 200 % screens in one each), product LZMA data block then BCJ2 program block"
[ "$(blocks "$tmp/x/entry0.7z")" = 3 ] || fail "entry 0 has $(blocks "$tmp/x/entry0.7z") blocks, not 3"
[ "$(blocks "$tmp/x/entry1.7z")" = 2 ] || fail "entry 1 has $(blocks "$tmp/x/entry1.7z") blocks, not 2"
while IFS=$'\t' read -r path block method; do
  [ -z "$block" ] && continue
  case $path in *@150.*) want=1 ;; *@200.*) want=2 ;; *) want=0 ;; esac
  [ "$block" = $want ] && [[ $method =~ $lzma ]] || fail "install: $path in block $block with '$method'"
done < <(listing "$tmp/x/entry0.7z")
seen_programs=""
while IFS=$'\t' read -r path block method; do
  [ -z "$block" ] && continue
  if [ "$block" = 1 ]; then
    seen_programs+="$path;"
    [[ $method =~ $bcj2 ]] || fail "product program $path packed with '$method'"
  else
    [ "$block" = 0 ] && [[ $method =~ $lzma ]] || fail "product data $path in block $block with '$method'"
  fi
done < <(listing "$tmp/x/entry1.7z")
# By content: the three PE files, not fake.exe (an .exe name, no PE header).
[ "$(tr ';' '\n' <<<"$seen_programs" | sed '/^$/d' | sort | tr '\n' ';')" = "office6/lmo.dll;office6/lumen.exe;office6/插件/中文插件.dll;" ] ||
  fail "the programs block holds $seen_programs"
for e in 0 1; do
  if 7zz l -slt "$tmp/x/entry$e.7z" | grep -Eq '^(Modified|Created|Accessed|Attributes) = .'; then
    fail "entry $e stores file times or attributes"
  fi
done

section "--block-limit: 1 MiB splits a 2.5 MiB product's data into blocks before the program block, with dictionaries no larger; 'none' keeps one block"
mkdir -p "$tmp/limit/data"
for i in 1 2 3 4 5; do yes "part $i of a product split by the limit" | head -c 524288 >"$tmp/limit/data/part$i.bin"; done
cp "$testtool" "$tmp/limit/data/tool.exe"
for limit in 1 none; do
  pack "$tmp/out/limit-$limit.exe" "$tmp/x/entry0.7z" "$tmp/limit" "$stub" --block-limit $limit || continue
  extract_entries "$tmp/out/limit-$limit.exe" "$tmp/x-limit-$limit" || continue
  diff -r "$tmp/limit" "$tmp/x-limit-$limit/entry1" >/dev/null || fail "limit $limit: entry 1 differs from its folder"
  got=$(listing "$tmp/x-limit-$limit/entry1.7z" | awk -F'\t' '$2 != "" { print $1 ":" $2 }' | sort | paste -sd ' ')
  want="data/part1.bin:0 data/part2.bin:0 data/part3.bin:1 data/part4.bin:1 data/part5.bin:2 data/tool.exe:3"
  [ $limit = none ] && want="data/part1.bin:0 data/part2.bin:0 data/part3.bin:0 data/part4.bin:0 data/part5.bin:0 data/tool.exe:1"
  [ "$got" = "$want" ] || fail "limit $limit: blocks $got"
  # Each decoder holds its dictionary ("LZMA:20" is 2^20 bytes, "LZMA:3m" 3 MiB): at most the limit.
  largest=$(listing "$tmp/x-limit-$limit/entry1.7z" | cut -f3 | grep -o 'LZMA:[0-9]*[mk]\?' | awk -F: '
    { n = $2 + 0; b = $2 ~ /m$/ ? n * 1048576 : $2 ~ /k$/ ? n * 1024 : 2 ^ n; if (b > max) max = b } END { print max }')
  [ $limit = none ] || [ "$largest" -le 1048576 ] || fail "limit $limit: a dictionary of $largest bytes"
done
rm -rf "$tmp/limit" "$tmp/x-limit-"* "$tmp/out/limit-"*

section "product of data only, and of programs only: one block with the matching methods"
mkdir -p "$tmp/dataonly/office6" "$tmp/programsonly/office6/empty"
echo data >"$tmp/dataonly/office6/readme.txt"
cp "$testtool" "$tmp/programsonly/office6/only.exe"
for kind in dataonly programsonly; do
  pack "$tmp/out/$kind.exe" "$tmp/x/entry0.7z" "$tmp/$kind" || continue
  extract_entries "$tmp/out/$kind.exe" "$tmp/x-$kind" || continue
  diff -r "$tmp/$kind" "$tmp/x-$kind/entry1" >/dev/null || fail "$kind: entry 1 differs from its folder"
  [ "$(blocks "$tmp/x-$kind/entry1.7z")" = 1 ] || fail "$kind: $(blocks "$tmp/x-$kind/entry1.7z") blocks, not 1"
  expect=$lzma
  [ $kind = programsonly ] && expect=$bcj2
  while IFS=$'\t' read -r path block method; do
    [ -z "$block" ] && continue
    [ "$block" = 0 ] && [[ $method =~ $expect ]] || fail "$kind: $path in block $block with '$method'"
  done < <(listing "$tmp/x-$kind/entry1.7z")
done

section "installer layout: stub, zeros to the packet, patched header fields"
offset=$(sed -n 's/^packet: offset \([0-9]*\),.*/\1/p' "$tmp/x/verify.txt")
[ "$(u32 "$tmp/out/a.exe" $((pe + 8)))" = "$offset" ] || fail "TimeDateStamp does not hold the packet offset $offset"
[ $((offset % 8)) = 0 ] && [ "$offset" -ge "$stub_size" ] && [ "$offset" -lt $((stub_size + 8)) ] ||
  fail "packet offset $offset is not the stub size $stub_size rounded up to 8"
[ "$(tail -c +$((offset + 1)) "$tmp/out/a.exe" | head -c 6 | od -An -tx1 | xargs)" = "7a 7a 64 2e 02 00" ] ||
  fail "packet does not start with zzd. and count 2"
[ "$(head -c "$offset" "$tmp/out/a.exe" | tail -c +$((stub_size + 1)) | tr -d '\0' | wc -c)" = 0 ] ||
  fail "bytes between the stub and the packet are not zero"
# Only TimeDateStamp (pe+8..11) and CheckSum (pe+88..91) may differ from the stub.
changed=$(cmp -l "$stub" <(head -c "$stub_size" "$tmp/out/a.exe") | awk -v pe="$pe" '
  { o = $1 - 1; if (!((o >= pe + 8 && o < pe + 12) || (o >= pe + 88 && o < pe + 92))) print o }' | head -3 | xargs)
[ -z "$changed" ] || fail "stub bytes changed outside TimeDateStamp and CheckSum: offsets $changed"
# On installers of even and of odd length.
check_checksum "$tmp/out/a.exe"
# A ready archive is taken as it is, even with bytes after its end. Non-zero ones here, as a 7z
# archive ends in a zero byte, which would hide a mishandled odd byte: entry 0 made odd-sized,
# so the sum runs on across an odd boundary, and entry 1 made one byte longer or not, so the
# installer's length is odd once.
tail0=Y
[ $(($(stat -c %s "$tmp/x/entry0.7z") % 2)) = 1 ] && tail0=YY
{ cat "$tmp/x/entry0.7z"; printf $tail0; } >"$tmp/longer0.7z"
for tail1 in Z ZZ; do
  { cat "$tmp/x/entry1.7z"; printf $tail1; } >"$tmp/longer1.7z"
  pack "$tmp/longer.exe" "$tmp/longer0.7z" "$tmp/longer1.7z" && check_checksum "$tmp/longer.exe"
done

section "reproducible: same bytes again, from another path, creation order, times and permissions"
pack "$tmp/out/b.exe" "$tmp/in/install" "$tmp/in/product"
cmp -s "$tmp/out/a.exe" "$tmp/out/b.exe" || fail "packing the same folders twice gave different installers"
export TMPDIR=$tmp/tmpdir-other
mkdir -p "$TMPDIR"
pack "$tmp/out/c.exe" "$tmp/elsewhere/other/install" "$tmp/elsewhere/other/product"
cmp -s "$tmp/out/a.exe" "$tmp/out/c.exe" ||
  fail "the folders made in another order, place, time and permissions gave a different installer"
export TMPDIR=$tmp/tmpdir

section "ready 7z archives are used unchanged"
pack "$tmp/out/d.exe" "$tmp/x/entry0.7z" "$tmp/x/entry1.7z"
cmp -s "$tmp/out/a.exe" "$tmp/out/d.exe" || fail "the archives taken from the installer did not give the same installer back"
pack "$tmp/out/e.exe" "$tmp/in/install" "$tmp/x/entry1.7z"
cmp -s "$tmp/out/a.exe" "$tmp/out/e.exe" || fail "a folder for one entry and an archive for the other gave a different installer"

section "small stub: zeros before the packet make the installer 1 MiB"
small_stub=$tmp/small.exe
cp "$testtool" "$small_stub"
if [ "$(stat -c %s "$small_stub")" -lt 900000 ]; then
  mkdir -p "$tmp/tiny/office6" && echo tiny >"$tmp/tiny/office6/readme.txt"
  pack "$tmp/out/small.exe" "$tmp/in/install" "$tmp/tiny" "$small_stub"
  small_size=$(stat -c %s "$tmp/out/small.exe")
  [ "$small_size" -ge 1048576 ] && [ "$small_size" -lt $((1048576 + 8)) ] ||
    fail "installer from a small stub is $small_size bytes, not 1 MiB (+ up to 7 for alignment)"
  extract_entries "$tmp/out/small.exe" "$tmp/xs"
  diff -r "$tmp/tiny" "$tmp/xs/entry1" >/dev/null || fail "small installer: entry 1 differs from its folder"
  small_offset=$(sed -n 's/^packet: offset \([0-9]*\),.*/\1/p' "$tmp/xs/verify.txt")
  [ $((small_offset % 8)) = 0 ] || fail "small installer: packet offset $small_offset is not a multiple of 8"
else
  echo "SKIP: no PE file under 900 KB to use as a small stub"
fi

section "--delta-from: new files and patches in entry 1, the whole version in entry 2's manifest, the same bytes every time"
# The next version: one data file changed in a few bytes, one file added, one removed.
rm -rf "$tmp/v2" && cp -r "$tmp/in/product" "$tmp/v2"
printf 'NEW!' | dd of="$tmp/v2/office6/resources.pak" bs=1 seek=70000 conv=notrunc 2>/dev/null
echo "new in this version" >"$tmp/v2/office6/new.txt"
rm "$tmp/v2/utility/with space.txt"
# entry <installer> <index> <folder>: unpacks entry <index> into <folder>.
entry() {
  local v="$3.verify" off len
  "$lp" --verify "$1" >"$v" || { fail "--verify $1"; return 1; }
  off=$(entry_field "$v" "$2" offset) len=$(entry_field "$v" "$2" length)
  tail -c +$((off + 1)) "$1" | head -c "$len" >"$3.7z" && 7zz x -o"$3" "$3.7z" >/dev/null || fail "7zz cannot unpack entry $2 of $1"
}
pack "$tmp/out/delta.exe" "$tmp/in/install" "$tmp/v2" "$stub" --delta-from "$tmp/out/a.exe" >"$tmp/delta.txt"
grep -q ': 12 files the same, 1 patched (about [0-9]* bytes of patches compressed), 0 changed and carried whole, 1 new' "$tmp/delta.txt" ||
  fail "the delta's summary: $(cat "$tmp/delta.txt")"
entry "$tmp/out/delta.exe" 1 "$tmp/xd1" && entry "$tmp/out/delta.exe" 2 "$tmp/xd2"
grep -q '^packet: offset [0-9]*, 3 entries' "$tmp/xd1.verify" || fail "the delta's packet: $(head -1 "$tmp/xd1.verify")"
[ "$(cd "$tmp/xd1" && find . -type f | sort | tr '\n' ' ')" = "./new/office6/new.txt ./patch/office6/resources.pak " ] ||
  fail "entry 1 of the delta holds: $(cd "$tmp/xd1" && find . -type f | sort | tr '\n' ' ')"
manifest=$tmp/xd2/delta.manifest
version=$(sed -n 's/^to\t//p' "$manifest")
[ "$(head -2 "$manifest" | tr '\t\n' ' ')" = "lumen-delta 1 from $version " ] && [ -n "$version" ] ||
  fail "the manifest's head: $(head -3 "$manifest")"
grep -qP '^patch\toffice6\\resources\.pak\t150000\t[0-9a-f]{64}\t150000\t[0-9a-f]{64}$' "$manifest" || fail "no patch record for resources.pak"
grep -qP '^new\toffice6\\new\.txt\t20\t[0-9a-f]{64}$' "$manifest" || fail "no new record for new.txt"
grep -qP '^same\toffice6\\lmo\.dll\t' "$manifest" && grep -qP '^folder\toffice6\\cache$' "$manifest" ||
  fail "unchanged files and empty folders are not all listed"
! grep -q 'with space' "$manifest" || fail "the removed file is still listed"
[ "$(sha256sum <"$tmp/v2/office6/new.txt" | cut -c1-64)" = "$(grep -P '^new\toffice6\\new' "$manifest" | cut -f4)" ] ||
  fail "new.txt's SHA-256 in the manifest is not the file's"
export TMPDIR=$tmp/tmpdir-other
pack "$tmp/out/delta2.exe" "$tmp/in/install" "$tmp/v2" "$stub" --delta-from "$tmp/out/a.exe" >/dev/null
export TMPDIR=$tmp/tmpdir
cmp -s "$tmp/out/delta.exe" "$tmp/out/delta2.exe" || fail "the same delta packed twice gave different installers"
# From the previous product folder: the same files and patches; the version it was is not known.
pack "$tmp/out/delta3.exe" "$tmp/in/install" "$tmp/v2" "$stub" --delta-from "$tmp/in/product" >/dev/null
entry "$tmp/out/delta3.exe" 2 "$tmp/xd3"
diff <(tail -n +3 "$manifest") <(tail -n +3 "$tmp/xd3/delta.manifest") >/dev/null && grep -q '^from	unknown$' "$tmp/xd3/delta.manifest" ||
  fail "a delta from the previous folder differs from one from its installer"
rm -f "$tmp/out/delta"*.exe

section "refusals: non-zero exit, one line on stderr, no output written"
# refuse <what> <expected text in the message> <lumenpack arguments...>; lp_env: extra environment
lp_env=()
refuse() {
  local what=$1 expect=$2 rc
  shift 2
  rm -rf "$tmp/refuse" && mkdir -p "$tmp/refuse"
  (cd "$tmp/refuse" && env "${lp_env[@]}" "$lp" "$@" >/dev/null 2>"$tmp/refuse.err")
  rc=$?
  if [ $rc = 0 ]; then
    fail "$what: accepted"
  elif [ "$(wc -l <"$tmp/refuse.err")" != 1 ]; then
    fail "$what: stderr is not one line: $(cat "$tmp/refuse.err")"
  elif ! grep -qF -- "$expect" "$tmp/refuse.err"; then
    fail "$what: expected '$expect' in: $(cat "$tmp/refuse.err")"
  elif [ -n "$(ls -A "$tmp/refuse")" ] || [ -n "$(ls -A "$TMPDIR")" ]; then
    fail "$what: left files behind: $(ls -A "$tmp/refuse" "$TMPDIR")"
  fi
}
I=$tmp/in/install
P=$tmp/in/product
O=$tmp/refuse/out.exe
printf 'plain text, not a program' >"$tmp/text.exe"
{ printf 'MZ'; head -c 58 /dev/zero; printf '\x00\xff\xff\x7f'; head -c 200 /dev/zero; } >"$tmp/far.exe"
{ printf 'MZ'; head -c 58 /dev/zero; printf '\x40\x00\x00\x00'; printf 'NE\0\0'; head -c 300 /dev/zero; } >"$tmp/nope.exe"
refuse "non-PE stub" "no MZ header" --stub "$tmp/text.exe" --install "$I" --product "$P" --out "$O"
refuse "PE offset out of range" "outside the file" --stub "$tmp/far.exe" --install "$I" --product "$P" --out "$O"
refuse "no PE signature" "no PE signature" --stub "$tmp/nope.exe" --install "$I" --product "$P" --out "$O"
refuse "already packed stub" "already carries a packet" --stub "$tmp/out/a.exe" --install "$I" --product "$P" --out "$O"
refuse "missing stub" "no such file" --stub "$tmp/none.exe" --install "$I" --product "$P" --out "$O"
refuse "missing previous version" "--delta-from: no such folder or installer" --stub "$stub" --install "$I" --product "$P" --out "$O" --delta-from "$tmp/none.exe"
refuse "previous version no installer" "no PE signature" --stub "$stub" --install "$I" --product "$P" --out "$O" --delta-from "$tmp/nope.exe"
refuse "missing product folder" "no such folder or file" --stub "$stub" --install "$I" --product "$tmp/none" --out "$O"
refuse "install neither folder nor file" "neither a folder nor a file" --stub "$stub" --install /dev/null --product "$P" --out "$O"
refuse "install file not 7z" "not a 7z archive" --stub "$stub" --install "$tmp/text.exe" --product "$P" --out "$O"
refuse "output is the stub" "is one of the inputs" --stub "$stub" --install "$I" --product "$P" --out "$stub"
refuse "output is a ready archive" "is one of the inputs" --stub "$stub" --install "$tmp/x/entry0.7z" --product "$P" --out "$tmp/x/entry0.7z"
refuse "output inside an input folder" "inside the input folder" --stub "$stub" --install "$I" --product "$P/" --out "$P/setup.exe"
refuse "output folder missing" "no such folder" --stub "$stub" --install "$I" --product "$P" --out "$tmp/none/out.exe"
refuse "unknown option" "unknown option" --stub "$stub" --install "$I" --product "$P" --out "$O" --fast
refuse "missing option" "missing --product" --stub "$stub" --install "$I" --out "$O"
refuse "option without value" "--out needs a value" --stub "$stub" --install "$I" --product "$P" --out
refuse "option twice" "given twice" --stub "$stub" --stub "$stub" --install "$I" --product "$P" --out "$O"
for bad in 0 -5 1.5 12x 1048577 99999999; do
  refuse "block limit $bad" "--block-limit takes whole MiB" --stub "$stub" --install "$I" --product "$P" --out "$O" --block-limit "$bad"
done
# A configuration whose XML does not parse would be refused by the setup program on the user's
# machine: the packer refuses it, from a folder and from a ready archive.
cp -r "$I" "$tmp/badxml" && printf '<Config><DeepRecommend number="1"><item></Config>' >"$tmp/badxml/deeprecommend.xml"
(cd "$tmp/badxml" && 7zz a -t7z "$tmp/badxml.7z" . >/dev/null)
refuse "broken XML in the configuration folder" "'deeprecommend.xml' of the configuration: it is not well-formed XML (line 1" \
  --stub "$stub" --install "$tmp/badxml" --product "$P" --out "$O"
refuse "broken XML in a ready configuration archive" "'deeprecommend.xml' of the configuration: it is not well-formed" \
  --stub "$stub" --install "$tmp/badxml.7z" --product "$P" --out "$O"
refuse "no options" "missing --stub"
lp_env=(PATH=/nonexistent)
refuse "7zz not on PATH" "7zz was not found" --stub "$stub" --install "$I" --product "$P" --out "$O"
lp_env=()

# Folders the setup program could not reproduce on Windows.
bad_folder() { rm -rf "$tmp/bad" && mkdir -p "$tmp/bad/office6" && echo x >"$tmp/bad/office6/ok.txt"; }
bad_folder && ln -s ok.txt "$tmp/bad/office6/link.txt"
refuse "symbolic link in the product" "symbolic link" --stub "$stub" --install "$I" --product "$tmp/bad" --out "$O"
bad_folder && echo y >"$tmp/bad/office6/OK.txt"
refuse "names differing only in case" "differ only in case" --stub "$stub" --install "$I" --product "$tmp/bad" --out "$O"
bad_folder && echo y >"$tmp/bad/office6/a:b.txt"
refuse "colon in a name" "does not allow" --stub "$stub" --install "$I" --product "$tmp/bad" --out "$O"
bad_folder && echo y >"$tmp/bad/office6/back\\slash.txt"
refuse "backslash in a name" "does not allow" --stub "$stub" --install "$I" --product "$tmp/bad" --out "$O"
bad_folder && echo y >"$tmp/bad/office6/$(printf 'latin1-\xe9.txt')"
refuse "name not UTF-8" "not valid UTF-8" --stub "$stub" --install "$I" --product "$tmp/bad" --out "$O"
rm -rf "$tmp/bad" && mkdir -p "$tmp/bad"
refuse "empty install folder" "is empty" --stub "$stub" --install "$tmp/bad" --product "$P" --out "$O"

# A failed run keeps an installer that is already there.
echo "previous installer" >"$tmp/out/keep.exe"
"$lp" --stub "$stub" --install "$tmp/text.exe" --product "$P" --out "$tmp/out/keep.exe" 2>/dev/null &&
  fail "bad --install accepted"
[ "$(cat "$tmp/out/keep.exe")" = "previous installer" ] || fail "a failed run changed the existing output"

section "interrupted while packing: nothing left behind"
mkdir -p "$tmp/slow/office6" "$tmp/slowout"
head -c 20000000 /dev/urandom >"$tmp/slow/office6/big.dat"  # several seconds of LZMA
"$lp" --stub "$stub" --install "$I" --product "$tmp/slow" --out "$tmp/slowout/x.exe" 2>"$tmp/slow.err" &
slow_pid=$!
for _ in $(seq 100); do
  [ -n "$(ls -A "$TMPDIR")" ] && break
  sleep 0.1
done
kill -INT $slow_pid
wait $slow_pid
slow_rc=$?
if [ $slow_rc = 0 ]; then
  fail "packing went on to the end after Ctrl-C"
elif ! grep -q interrupted "$tmp/slow.err" || [ "$(wc -l <"$tmp/slow.err")" != 1 ]; then
  fail "Ctrl-C while packing: $(cat "$tmp/slow.err")"
fi
[ -z "$(ls -A "$TMPDIR" "$tmp/slowout" | grep -v ':$' | sed '/^$/d')" ] ||
  fail "Ctrl-C while packing left files behind: $(ls -A "$TMPDIR" "$tmp/slowout")"

section "--verify finds damage"
cp "$tmp/out/a.exe" "$tmp/damaged.exe"
len1=$(entry_field "$tmp/x/verify.txt" 1 length)
off1=$(entry_field "$tmp/x/verify.txt" 1 offset)
byte=$(od -An -tu1 -j $((off1 + len1 / 2)) -N1 "$tmp/damaged.exe" | tr -d ' ')
printf "\\x$(printf %02x $((255 - byte)))" | dd of="$tmp/damaged.exe" bs=1 seek=$((off1 + len1 / 2)) conv=notrunc status=none
if "$lp" --verify "$tmp/damaged.exe" >/dev/null 2>"$tmp/verify.err" || ! grep -q "entry 1: CRC-32" "$tmp/verify.err"; then
  fail "--verify did not report the changed byte in entry 1: $(cat "$tmp/verify.err")"
fi
head -c $((off1 + 100)) "$tmp/out/a.exe" >"$tmp/cut.exe"
"$lp" --verify "$tmp/cut.exe" >/dev/null 2>&1 && fail "--verify accepted an installer cut off inside entry 1"
"$lp" --verify "$stub" >/dev/null 2>&1 && fail "--verify found a packet in the bare stub"

section "signing after packing keeps the packet"
if ! command -v openssl >/dev/null; then
  echo "SKIP: openssl is missing (Debian package openssl); signing not tested"
elif ! command -v osslsigncode >/dev/null; then
  echo "SKIP: osslsigncode is missing (Debian package osslsigncode); signing not tested"
else
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Lumen packer test" \
    -keyout "$tmp/key.pem" -out "$tmp/cert.pem" >/dev/null 2>&1 || fail "openssl could not make a test certificate"
  for name in a small; do
    [ -f "$tmp/out/$name.exe" ] || continue
    osslsigncode sign -certs "$tmp/cert.pem" -key "$tmp/key.pem" -n "Lumen Office" \
      -in "$tmp/out/$name.exe" -out "$tmp/out/$name-signed.exe" >"$tmp/sign.log" 2>&1 ||
      { fail "osslsigncode could not sign $name.exe: $(tail -1 "$tmp/sign.log")"; continue; }
    extract_entries "$tmp/out/$name-signed.exe" "$tmp/xsigned-$name" || continue
    grep -q '^certificate table: ' "$tmp/xsigned-$name/verify.txt" || fail "$name-signed.exe: no certificate table found"
    unsigned_verify=$tmp/x/verify.txt
    [ $name = small ] && unsigned_verify=$tmp/xs/verify.txt
    diff <(grep -E '^(packet|entry)' "$unsigned_verify") <(grep -E '^(packet|entry)' "$tmp/xsigned-$name/verify.txt") >/dev/null ||
      fail "$name-signed.exe: the packet moved or changed in signing"
    osslsigncode verify -CAfile "$tmp/cert.pem" -in "$tmp/out/$name-signed.exe" >"$tmp/osv.log" 2>&1 ||
      fail "$name-signed.exe: osslsigncode does not accept its own signature: $(grep -i -m1 -E 'fail|error' "$tmp/osv.log")"
  done
  # A signed stub would leave its certificate table stranded in front of the packet.
  if osslsigncode sign -certs "$tmp/cert.pem" -key "$tmp/key.pem" -in "$stub" -out "$tmp/signed-stub.exe" >/dev/null 2>&1; then
    refuse "signed stub" "is signed" --stub "$tmp/signed-stub.exe" --install "$I" --product "$P" --out "$O"
  else
    fail "osslsigncode could not sign the bare stub"
  fi
fi

if [ $failures -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "all packer tests passed"
