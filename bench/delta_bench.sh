#!/usr/bin/env bash
# Update benchmark (figures, never pass/fail): what an update installer that carries only what
# changed (lumenpack --delta-from) saves against the full installer of the new version, in bytes
# to download and in time to update under Wine.
#   delta_bench.sh
# Parts (DELTA_PARTS, default "changes programs update"):
#   changes   the benchmark payload (make_payload.sh: 150 MB, 640 files, seed 1) is version 1;
#             version 2 is made from it by change_model.cpp with seed DELTA_SEED (default 20):
#             1 % of the files removed, 1 % added, 5 % of the data files edited in 1 to 4 places
#             (short runs overwritten or inserted), 30 % of the programs changed in 2 to 6
#             places behind their headers plus their TimeDateStamp and version resource. Both
#             versions also hold the demo suite's registration tool (utility\config.exe, the
#             stand-in) and core library (office6\lmo.dll), unchanged: an update finds the
#             installed version through them. Packed: version 1 behind setup_old.exe (9.0.0.1),
#             version 2 behind setup.exe (9.1.0.4720) as a full installer and as a delta from
#             the version 1 installer. Reported: both sizes, delta / full, the time to pack
#             each and the packer's summary line.
#   programs  a real pair of programs: the setup program built from an older commit
#             (DELTA_OLD_COMMIT, default f27b240; git worktree in build/delta-bench/old-src,
#             only its setup target built, for x64 and x86) and the one in build/<arch>/bin.
#             Reported: the new program's size, compressed alone (zstd -19; 7zz -mx=9 with
#             BCJ2, as the packer packs programs), and the patches from old to new of the
#             packer (its line's "bytes of patches", and the product entry of a one-file
#             delta), of zstd -19 --patch-from and of bsdiff, as bytes and as a share of the
#             program compressed alone.
#   update    under Wine (tests/wine/run.sh, prefix LUMEN_WINEPREFIX, default
#             /tmp/delta-bench-prefix): BENCH_ROUNDS rounds (default 3); in each, for the full
#             and the delta installer (the order alternating between rounds): the previous
#             installation removed (folder, shortcuts, registry keys, log), version 1 installed
#             with `setup.exe -s` (untimed), then `setup.exe -update` of version 2 timed from
#             the shell, its output to a file. Reported: min/median/max wall time, delta / full,
#             the setup log's "peak working set" and its own duration, and whether the
#             installed version folder is version 2 (checked in the first round). An update
#             that fails (exit code 8: the delta cannot be applied, or 2) is reported as failed
#             and not run again.
# Everything slow is kept in build/delta-bench/ until its inputs change (the payload, the
# packer, 7zz, the setup programs, change_model.cpp, the old commit and the cross compiler):
# the first run takes about 10 minutes to build the old programs, 2 to 3 to pack.
# Environment: DELTA_PARTS, DELTA_SEED, DELTA_OLD_COMMIT, BENCH_ROUNDS, LUMEN_WINEPREFIX,
# BENCH_TIMEOUT (seconds one install or update may take, default 900), CXX (host compiler for
# change_model.cpp, default c++), BENCH_KEEP_SERVER=1 (leave the wineserver running).
set -euo pipefail
export LC_ALL=C.UTF-8   # payload names are UTF-8 (Chinese folders)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
dir=$root/build/delta-bench
parts=" ${DELTA_PARTS:-changes programs update} "
seed=${DELTA_SEED:-20}
old_commit=${DELTA_OLD_COMMIT:-f27b240}
rounds=${BENCH_ROUNDS:-3}
run_timeout=${BENCH_TIMEOUT:-900}
payload_mb=150 payload_files=640 payload_seed=1
packer=$root/build/native/lumenpack
setup=$root/build/x64/bin/setup.exe
setup_old=$root/build/x64/bin/setup_old.exe
export LUMEN_WINEPREFIX=${LUMEN_WINEPREFIX:-/tmp/delta-bench-prefix}
prefix=$LUMEN_WINEPREFIX

say() { printf '%s\n' "$*" >&2; }
die() { say "delta_bench.sh: $*"; exit 2; }
now_ms() { local t; t=$(date +%s%N); echo $((t / 1000000)); }
hash16() { sha256sum "$1" | cut -c1-16; }
size_of() { stat -c %s "$1"; }
# Every file's path and content, and the empty folders: equal fingerprints, equal folders.
fingerprint() {
  (cd "$1" && { find . -type f -print0 | LC_ALL=C sort -z | xargs -0r sha256sum; find . -mindepth 1 -type d -empty | LC_ALL=C sort; }) |
    sha256sum | cut -c1-16
}
# entry_length <installer> <n>: the length of packet entry n (lumenpack --verify).
entry_length() { "$packer" --verify "$1" | sed -n "s/^entry $2: offset [0-9]*, length \([0-9]*\),.*/\1/p"; }
# Numbers: 1234567 -> "1,234,567"; pct a b -> a as a share of b.
grouped() { sed ':a;s/\B[0-9]\{3\}\>/,&/;ta' <<<"$1"; }
pct() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.1f %%", 100 * a / b; else printf "-" }'; }
# min/median/max of a list of numbers, divided by <scale>, with <digits> decimals.
spread() {
  tr ' ' '\n' <<<"$1" | grep . | sort -g | awk -v s="${2:-1}" -v d="${3:-2}" '{ v[NR] = $1 / s }
    END { if (!NR) { printf "-"; exit }
          m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
          printf "%." d "f / %." d "f / %." d "f", v[1], m, v[NR] }'
}
median() { tr ' ' '\n' <<<"$1" | grep . | sort -g | awk '{ v[NR] = $1 } END { if (NR) print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

[ -x "$packer" ] || die "no packer ($packer): run make build-native"
[ -f "$setup" ] || die "no setup program ($setup): run make build-x64"
[ -f "$setup_old" ] || die "no older release of the setup program ($setup_old): run make build-x64"
command -v 7zz >/dev/null || die "7zz is missing (Debian: apt-get install 7zip)"
[[ $seed =~ ^[0-9]+$ && $rounds =~ ^[1-9][0-9]*$ ]] || die "DELTA_SEED and BENCH_ROUNDS are numbers"
mkdir -p "$dir"
sevenzip_version=$(7zz | sed -n 2p | sed 's/ : .*//')

echo "Update benchmark   $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, $sevenzip_version"

# ---- the install entry of every installer here ------------------------------------------
# The silent install and the update register the installation with the demo suite's tool and
# write the installation's settings; nothing else runs, so the work measured is the files'.
install=$dir/install
mkdir -p "$install"
cp "$here/install-entry/deeprecommend.xml" "$install/"
cat >"$install/setup.xml" <<'EOF'
<?xml version="1.0" encoding="UTF-8"?>
<config><office><info iid="" tid1="" tid2="" productid="" versiontypes="" silent="0"/>
<install>
<item path="utility\config.exe" param="-setup /StartMenuDirectory=&quot;Lumen Office&quot; /Lang=2052" wait="-1" show="0" type="install;update;silent;updatesilent"/>
<item path="writeinifile" param="" wait="0" show="0" type="install;update;silent;updatesilent"/>
</install></office></config>
EOF
install_hash=$(cat "$install"/* | sha256sum | cut -c1-16)

# ---- part 1: the change model and its two installers ------------------------------------
full=$dir/v2-full.exe delta=$dir/v2-delta.exe v1_installer=$dir/v1.exe
v2=$dir/v2
if [[ $parts == *" changes "* || $parts == *" update "* ]]; then
  standin=$root/build/x64/bin/standin.exe lmo=$root/build/x64/bin/lmo.dll
  { [ -f "$standin" ] && [ -f "$lmo" ]; } || die "no demo suite programs ($standin, $lmo): run make build-x64"
  payload=$dir/payload
  params="$payload_mb MB, $payload_files files, seed $payload_seed"
  if [ ! -d "$payload/office6" ] || [ "$(cat "$dir/payload.params" 2>/dev/null)" != "$params" ]; then
    say "making the benchmark payload (version 1)"
    rm -f "$dir/payload.params"
    PAYLOAD_SEED=$payload_seed "$here/make_payload.sh" "$payload" "$payload_mb" "$payload_files" >"$dir/payload.info"
    printf '%s\n' "$params" >"$dir/payload.params"
  fi
  payload_fp=$(fingerprint "$payload")
  skeleton() {  # <product folder>: the demo suite's registration tool and core library
    mkdir -p "$1/utility" "$1/office6"
    cp "$standin" "$1/utility/config.exe"
    cp "$lmo" "$1/office6/lmo.dll"
  }
  skeleton_stamp="$(hash16 "$standin") $(hash16 "$lmo")"

  # The two product folders, made again when the payload, the model or the stand-ins change.
  v1=$dir/v1
  if [ "$(cat "$v1.inputs" 2>/dev/null)" != "$payload_fp $skeleton_stamp" ] || [ ! -d "$v1" ]; then
    say "making version 1's product folder"
    rm -rf "$v1" "$v1.inputs" && cp -al "$payload" "$v1" && skeleton "$v1"
    printf '%s\n' "$payload_fp $skeleton_stamp" >"$v1.inputs"
  fi
  v2_stamp="$payload_fp $skeleton_stamp $seed $(hash16 "$here/change_model.cpp")"
  if [ "$(cat "$v2.inputs" 2>/dev/null)" != "$v2_stamp" ] || [ ! -d "$v2" ]; then
    say "making version 2 (change model, seed $seed)"
    rm -rf "$v2" "$v2.inputs" "$v2.new" "$dir/change_model"
    "${CXX:-c++}" -O2 -std=c++17 -o "$dir/change_model" "$here/change_model.cpp"
    "$dir/change_model" "$payload" "$v2.new" "$seed" "$dir/v2.changes" >"$dir/v2.summary"
    skeleton "$v2.new"
    mv "$v2.new" "$v2"
    printf '%s\n' "$v2_stamp" >"$v2.inputs"
  fi
  v1_fp=$(fingerprint "$v1") v2_fp=$(fingerprint "$v2")

  # pack <installer> <stub> <product folder> <product fingerprint>: the installer, packed from
  # the folder when its product entry is not kept (the time of that packing is kept beside
  # it, <installer>.packms), else around the kept entry in seconds.
  pack() {
    local out=$1 stub=$2 product=$3 fp=$4 entry=${1%.exe}.product.7z
    local entry_stamp stamp
    entry_stamp="$(hash16 "$packer") $sevenzip_version $fp"
    stamp="$(hash16 "$stub") $install_hash $entry_stamp"
    [ "$(cat "$out.inputs" 2>/dev/null)" != "$stamp" ] || [ ! -f "$out" ] || return 0
    rm -f "$out" "$out.inputs"
    if [ -f "$entry" ] && [ "$(cat "$entry.inputs" 2>/dev/null)" = "$entry_stamp" ]; then
      "$packer" --stub "$stub" --install "$install" --product "$entry" --out "$out" >/dev/null
    else
      say "packing $(basename "$out") (about a minute)"
      rm -f "$entry" "$entry.inputs"
      local t
      t=$(now_ms)
      "$packer" --stub "$stub" --install "$install" --product "$product" --out "$out" >/dev/null
      echo $(( $(now_ms) - t )) >"$out.packms"
      local offset length
      read -r offset length < <("$packer" --verify "$out" | sed -n 's/^entry 1: offset \([0-9]*\), length \([0-9]*\),.*/\1 \2/p')
      tail -c +$((offset + 1)) "$out" | head -c "$length" >"$entry"
      printf '%s\n' "$entry_stamp" >"$entry.inputs"
    fi
    printf '%s\n' "$stamp" >"$out.inputs"
  }
  pack "$v1_installer" "$setup_old" "$v1" "$v1_fp"
  pack "$full" "$setup" "$v2" "$v2_fp"
  # The delta from version 1's installer, as a release would make it; the packer's line kept.
  delta_stamp="$(hash16 "$packer") $sevenzip_version $(hash16 "$setup") $install_hash $v2_fp $(hash16 "$v1_installer") bsdiff $(dpkg-query -W -f='${Version}' bsdiff 2>/dev/null || true)"
  if [ "$(cat "$delta.inputs" 2>/dev/null)" != "$delta_stamp" ] || [ ! -f "$delta" ]; then
    say "packing $(basename "$delta") (the delta from $(basename "$v1_installer"))"
    rm -f "$delta" "$delta.inputs"
    t=$(now_ms)
    "$packer" --stub "$setup" --install "$install" --product "$v2" --delta-from "$v1_installer" --out "$delta" >"$delta.line"
    echo $(( $(now_ms) - t )) >"$delta.packms"
    printf '%s\n' "$delta_stamp" >"$delta.inputs"
  fi
fi

if [[ $parts == *" changes "* ]]; then
  full_size=$(size_of "$full") delta_size=$(size_of "$delta")
  echo
  echo "1. The change model on the benchmark payload ($params, fingerprint $payload_fp)"
  echo "   $(cat "$dir/v2.summary")"
  printf '   %-34s %13s bytes (product entry %s), packed in %.1f s\n' "full installer of version 2" "$(grouped "$full_size")" \
    "$(grouped "$(entry_length "$full" 1)")" "$(awk -v m="$(cat "$full.packms")" 'BEGIN { print m / 1000 }')"
  printf '   %-34s %13s bytes (product entry %s, manifest %s), packed in %.1f s\n' "delta installer 1 -> 2" "$(grouped "$delta_size")" \
    "$(grouped "$(entry_length "$delta" 1)")" "$(grouped "$(entry_length "$delta" 2)")" \
    "$(awk -v m="$(cat "$delta.packms")" 'BEGIN { print m / 1000 }')"
  printf '   %-34s %13s bytes in both\n' "of which the setup program" "$(grouped "$(size_of "$setup")")"
  echo "   delta / full: $(pct "$delta_size" "$full_size") (aim: at most 10 %)"
  echo "   packer: $(cat "$delta.line")"
fi

# ---- part 2: a real pair of programs ------------------------------------------------------
if [[ $parts == *" programs "* ]]; then
  have_zstd=1
  command -v zstd >/dev/null || { have_zstd=0; say "the zstd command is missing (Debian's zstd): its rows stay empty"; }
  command -v bsdiff >/dev/null || die "bsdiff is missing (make setup installs it)"
  commit=$(git -C "$root" rev-parse --verify "$old_commit^{commit}") || die "no commit $old_commit in this repository"
  src=$dir/old-src
  [ -d "$root/build/third_party/7zip" ] || die "no third-party sources in build/third_party: run make third_party"
  # build_old <arch> <toolchain file>: the setup program of the old commit, kept until the
  # commit or the cross compiler changes.
  build_old() {
    local arch=$1 toolchain=$2 out=$dir/old-$1 compiler
    compiler=$(sed -n 's/^set(MINGW_PREFIX \(.*\))/\1/p' "$root/cmake/$toolchain")-g++-posix
    local stamp
    stamp="$commit $("$compiler" --version 2>/dev/null | head -1)"
    [ "$(cat "$out/old.inputs" 2>/dev/null)" != "$stamp" ] || [ ! -f "$out/bin/setup.exe" ] || return 0
    if [ "$(git -C "$src" rev-parse HEAD 2>/dev/null)" != "$commit" ]; then
      say "checking out $old_commit into $src"
      git -C "$root" worktree remove --force "$src" 2>/dev/null || rm -rf "$src"
      git -C "$root" worktree prune
      git -C "$root" worktree add --detach "$src" "$commit" >/dev/null 2>&1 || die "git worktree add of $old_commit failed"
    fi
    say "building the setup program of $old_commit for $arch (several minutes; kept for later runs)"
    rm -rf "$out"
    if ! { cmake -S "$src" -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMEN_BUILD_TESTS=OFF \
             -DCMAKE_TOOLCHAIN_FILE="$src/cmake/$toolchain" -DLUMEN_THIRD_PARTY_DIR="$root/build/third_party" &&
           cmake --build "$out" -j "$(nproc)" --target setup; } >"$dir/old-$arch.build.log" 2>&1; then
      tail -20 "$dir/old-$arch.build.log" >&2
      say "delta_bench.sh: the build of $old_commit for $arch failed (log: $dir/old-$arch.build.log)"
      return 1
    fi
    printf '%s\n' "$stamp" >"$out/old.inputs"
  }
  work=$dir/programs
  declare -A bytes=() ms=()
  timed() {  # timed <name> <command...>: its time in ms into ms[name]
    local name=$1 t
    shift
    t=$(now_ms)
    "$@"
    ms[$name]=$(( $(now_ms) - t ))
  }
  # row <label> <bytes> <time>: the bytes and their share of the program compressed alone.
  row() {
    if [ -z "$2" ]; then printf '     %-44s %11s\n' "$1" "-"; return; fi
    printf '     %-44s %11s  %13s  %13s  %8s\n' "$1" "$(grouped "$2")" "$(pct "$2" "${bytes[zstd]}")" "$(pct "$2" "${bytes[7z]}")" "$3"
  }
  echo
  echo "2. A real pair: setup.exe of $old_commit (old) and of build/<arch>/bin (new); patches turn old into new"
  for arch in x64 x86; do
    new=$root/build/$arch/bin/setup.exe
    case $arch in x64) toolchain="toolchain-mingw-x86_64.cmake" ;; x86) toolchain="toolchain-mingw-i686.cmake" ;; esac
    if [ ! -f "$new" ]; then
      echo "   $arch: no $new (make build-$arch): skipped"
      continue
    fi
    if ! build_old "$arch" "$toolchain"; then
      echo "   $arch: the old program could not be built: skipped"
      continue
    fi
    old=$dir/old-$arch/bin/setup.exe
    rm -rf "$work" && mkdir -p "$work/old/office6" "$work/new/office6"
    cp "$old" "$work/old/office6/setup.exe" && cp "$new" "$work/new/office6/setup.exe"
    n=$work/new/office6/setup.exe o=$work/old/office6/setup.exe
    bytes[zstd]='' bytes[patch_from]='' ms[zstd]='' ms[patch_from]=''
    if [ $have_zstd = 1 ]; then
      timed zstd zstd -q -19 -f "$n" -o "$work/new.zst"
      bytes[zstd]=$(size_of "$work/new.zst")
      timed patch_from zstd -q -19 -f --patch-from="$o" "$n" -o "$work/new.patch.zst" 2>/dev/null
      bytes[patch_from]=$(size_of "$work/new.patch.zst")
    fi
    # As the packer packs a program (tools/lumenpack/README.md), alone in its archive.
    timed 7z bash -c 'cd "$1" && 7zz a -t7z -m0=LZMA -mx=9 -md=256m -mf=BCJ2 -ms=1000000f256m -mmt=2 -mtm=off -mtc=off \
      -mta=off -mtr=off -mhc=on -bd -y "$2" setup.exe >/dev/null' _ "$work/new/office6" "$work/new.7z"
    bytes[7z]=$(size_of "$work/new.7z")
    timed packer "$packer" --stub "$setup" --install "$install" --product "$work/new" --delta-from "$work/old" --out "$work/delta.exe" \
      >"$work/delta.line"
    line=$(cat "$work/delta.line")
    bytes[packer]=$(sed -n 's/.*[( ]\([0-9][0-9]*\) bytes of patches.*/\1/p' <<<"$line")
    bytes[entry]=$(entry_length "$work/delta.exe" 1)
    timed bsdiff bsdiff "$o" "$n" "$work/new.bsdiff"
    bytes[bsdiff]=$(size_of "$work/new.bsdiff")
    echo "   $arch: old $(grouped "$(size_of "$old")") bytes, new $(grouped "$(size_of "$new")") bytes"
    printf '     %-44s %11s  %13s  %13s  %8s\n' "" "bytes" "of zstd -19" "of 7z BCJ2" "time"
    row "new, zstd -19 alone" "${bytes[zstd]}" "${ms[zstd]} ms"
    row "new, 7zz -mx=9 BCJ2 alone (as packed)" "${bytes[7z]}" "${ms[7z]} ms"
    if [ -n "${bytes[packer]}" ] && [[ $line != *", 0 patched"* ]]; then
      row "lumenpack, its line's \"bytes of patches\"" "${bytes[packer]}" "${ms[packer]} ms"
    else
      printf '     %-44s %11s  (%s)\n' "lumenpack, its line's \"bytes of patches\"" "-" "no patch: $line"
    fi
    row "lumenpack, the patch as packed (entry 1)" "${bytes[entry]}" ""
    row "zstd -19 --patch-from" "${bytes[patch_from]}" "${ms[patch_from]} ms"
    row "bsdiff" "${bytes[bsdiff]}" "${ms[bsdiff]} ms"
    echo "     packer: $line"
  done
  rm -rf "$work"
fi

# ---- part 3: updating under Wine -------------------------------------------------------
if [[ $parts == *" update "* ]]; then
  wine_run=$root/tests/wine/run.sh
  "$root/tests/wine/prepare.sh" "$prefix" >/dev/null
  user=$prefix/drive_c/users/$(whoami)
  installed=$user/AppData/Local/Tallis
  log=$user/AppData/Roaming/tallis/office6/log/setup/lumensetup.log
  to_version=$(sed -n 's/^delta from [^ ]* to \([0-9.]*\):.*/\1/p' "$delta.line")
  runs=$dir/update-runs
  rm -rf "$runs" && mkdir -p "$runs/cwd"
  # No installation, shortcuts, log or demo journal: each round starts without the suite.
  forget() {
    local key
    for key in 'HKCU\Software\Tallis' 'HKCU\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Tallis Office' \
               'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Tallis Office' \
               'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\cirrus'; do
      "$wine_run" reg delete "$key" /f >/dev/null 2>&1 </dev/null || true
    done
    rm -rf "$installed" "$user/Desktop/"Lumen* "$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Lumen Office"* \
      "$user/AppData/Roaming/tallis/office6/log" "$prefix/drive_c/ProgramData/LumenDemo"
  }
  # windows <installer> <args...>: runs it from an empty folder (no oem.ini beside it), output
  # to <runs>/last.out; prints its exit code.
  windows() {
    local rc=0
    (cd "$runs/cwd" && timeout "$run_timeout" "$wine_run" "$@" >"$runs/last.out" 2>&1 </dev/null) || rc=$?
    echo "$rc"
  }
  log_value() { [ -f "$log" ] && grep -a -o "$1" "$log" | tail -1 | tr -d '\r' || true; }
  # The version folder against version 2: every file of it there with its bytes.
  check_tree() {
    local folder=$1 missing=0 differing=0 f
    [ -d "$folder" ] || { echo "no version folder $to_version"; return; }
    while IFS= read -r -d '' f; do
      if [ ! -f "$folder/$f" ]; then missing=$((missing + 1))
      elif ! cmp -s "$v2/$f" "$folder/$f"; then differing=$((differing + 1)); fi
    done < <(cd "$v2" && find . -type f -print0)
    if [ $missing$differing = 00 ]; then echo "version folder = version 2"
    else echo "DIFFERENT from version 2: $missing missing, $differing differing"; fi
  }
  declare -A wall=() peak=() own=() failed=() checked=() per_round=()
  built='' built_counts=''  # the delta's build of the version folder, from its log: ms, and its files
  v1_ms=
  for round in $(seq "$rounds"); do
    if [ $((round % 2)) = 1 ]; then order=(full delta); else order=(delta full); fi
    for m in "${order[@]}"; do
      [ -z "${failed[$m]:-}" ] || continue
      [ "$m" = full ] && installer=$full || installer=$delta
      forget
      t=$(now_ms)
      rc=$(windows "$v1_installer" -s)
      if [ "$rc" != 0 ]; then
        say "delta_bench.sh: installing version 1 failed (exit $rc); the end of its log:"
        [ -f "$log" ] && tail -5 "$log" >&2
        failed[full]="version 1 could not be installed (exit $rc)" failed[delta]=${failed[full]}
        break 2
      fi
      v1_ms+="$(( $(now_ms) - t )) "
      rm -f "$log"
      sync
      t=$(now_ms)
      rc=$(windows "$installer" -update)
      elapsed=$(( $(now_ms) - t ))
      cp "$runs/last.out" "$runs/$m.$round.out"
      [ -f "$log" ] && cp "$log" "$runs/$m.$round.log"
      if [ "$rc" != 0 ]; then
        why=$(log_value 'the update cannot be applied.*')
        [ -n "$why" ] || why=$(log_value 'first cause: .*')
        failed[$m]="exit code $rc in round $round${why:+: $why}"
        say "$m update, round $round: failed, exit code $rc"
        continue
      fi
      wall[$m]+="$elapsed "
      peak[$m]+="$(log_value 'peak working set: [0-9]*' | grep -o '[0-9]*$') "
      own[$m]+="$(log_value 'setup end: [a-z ]*, exit code [0-9]*, [0-9]* ms' | grep -o '[0-9]* ms$' | grep -o '[0-9]*') "
      per_round[$m.$round]=$elapsed
      if [ "$m" = delta ]; then
        line=$(log_value 'update by delta: built .*, [0-9]* ms')
        built+="$(grep -o '[0-9]* ms$' <<<"$line" | grep -o '[0-9]*') "
        built_counts=$(sed 's/.*, \([0-9]* files copied, .* whole\), .*/\1/' <<<"$line")
      fi
      [ "$round" != 1 ] || checked[$m]=$(check_tree "$installed/Lumen Office/$to_version")
      say "$m update, round $round: $elapsed ms"
    done
  done
  forget
  [ "${BENCH_KEEP_SERVER:-0}" = 1 ] || "$root/tests/wine/stop.sh" "$prefix" >/dev/null 2>&1 || true

  echo
  echo "3. Updating version 1 to version 2 under Wine: setup.exe -update after a fresh setup.exe -s of version 1,"
  echo "   $rounds rounds, the order alternating; min / median / max (version 1's install took $(spread "$v1_ms" 1000 1) s)"
  printf '   %-10s %13s %26s %28s %26s  %s\n' "installer" "size" "wall time, s" "peak working set, MiB" "its log's duration, s" "installed"
  for m in full delta; do
    [ "$m" = full ] && installer=$full || installer=$delta
    if [ -n "${failed[$m]:-}" ]; then
      printf '   %-10s %13s  failed: %s\n' "$m" "$(grouped "$(size_of "$installer")")" "${failed[$m]}"
    else
      printf '   %-10s %13s %26s %28s %26s  %s\n' "$m" "$(grouped "$(size_of "$installer")")" "$(spread "${wall[$m]}" 1000)" \
        "$(spread "${peak[$m]}" 1024 0)" "$(spread "${own[$m]}" 1000)" "${checked[$m]:-}"
    fi
  done
  if [ -z "${failed[delta]:-}" ]; then
    echo "   the delta's own build of the version folder (copying, patching, checking every file; its log):" \
      "$(spread "$built" 1000) s ($built_counts)"
  fi
  if [ -z "${failed[full]:-}${failed[delta]:-}" ]; then
    ratios=
    for round in $(seq "$rounds"); do
      ratios+="$(awk -v d="${per_round[delta.$round]}" -v f="${per_round[full.$round]}" 'BEGIN { printf "%.3f", d / f }') "
    done
    echo "   delta / full: $(awk -v d="$(median "${wall[delta]}")" -v f="$(median "${wall[full]}")" 'BEGIN { printf "%.2f", d / f }') (median / median);" \
      "per round $(spread "$ratios" 1 2) (aim: at most 1)"
  else
    echo "   delta / full: failed"
  fi
fi
