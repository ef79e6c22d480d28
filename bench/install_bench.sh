#!/usr/bin/env bash
# Install benchmark: how long the setup program takes to install a large suite silently, against
# an NSIS installer (Debian's makensis, SetCompressor /SOLID lzma) that installs the same files
# silently, both measured in one run under the same Wine.
#   install_bench.sh
# Steps:
#   1. generates the payload (make_payload.sh) unless the cached one fits (shared with
#      run_bench.sh), and takes a manifest of it (sizes and SHA-256 of every file);
#   2. packs it with the packer into setup-install.exe behind the setup program, with a minimal
#      install entry (setup.xml with one profile-file write, deeprecommend.xml), so that the
#      work measured is essentially unpacking the product entry. The product archive is kept
#      (product.7z) and handed to the packer as it is when only the setup program changed;
#   3. writes nsis-install.nsi for the same tree (File /r, plus the empty folders, which
#      File /r leaves out) and builds nsis-install.exe with makensis. makensis's x86 stubs
#      make a 32-bit installer; a probe tells whether this Wine runs 32-bit programs, and when
#      it does not (a 64-bit-only Wine, no WoW64 part) the installer is built from the amd64
#      stubs of the same package instead (Target amd64-unicode: the same installer code and
#      LZMA decoder, compiled for x64);
#   4. measures, each method once per round, the order alternating between rounds (median
#      reported):
#        setup.exe -s -p C:\bench\setup    files end in C:\bench\setup\<version>\
#        NSIS /S /D=C:\bench\nsis          files end in C:\bench\nsis\
#        cmd /c exit                       a Windows program start under the same Wine, for scale
#      Before every run the prefix is put back as it was after its preparation (wineserver
#      stopped, registry files and the user, ProgramData, Program Files and temp folders
#      restored, C:\bench removed, server and desktop started again, one program started
#      untimed), so that no run sees the product a previous one installed; then the page cache
#      is flushed (sync). Each method's
#      tree is checked against the payload manifest after its first run, and the setup log for
#      "install end, return:1" after every run; a method whose tree differs gets no figure and no
#      ratio.
# Figures are printed, never judged: the ratio is setup / NSIS, both measured in the same run.
# Environment:
#   LUMEN_BENCH_DIR     build and work folder (default <repo>/build/bench; this script works in
#                       its install-bench/ folder and shares payload/ with run_bench.sh)
#   LUMEN_WINEPREFIX    Wine prefix (default /tmp/bench-install-prefix; reset before every run,
#                       so not one that tests use); stopped at the end unless BENCH_KEEP_SERVER=1
#   LUMEN_PACKER        packer (default <repo>/build/native/lumenpack)
#   LUMEN_BENCH_SETUP   setup program to pack and run (default <repo>/build/x64/bin/setup.exe)
#   PAYLOAD_MB, PAYLOAD_FILES, PAYLOAD_SEED   payload shape (150, 640, 1)
#   BENCH_ROUNDS        rounds (default 3)
#   BENCH_NSIS_TARGET   makensis target: auto (default), x86-unicode or amd64-unicode
#   BENCH_TIMEOUT       seconds one install may take before it counts as failed (default 900)
# Exit code: 0 when every run installed, 1 when one failed (the figures of the others are still
# printed), 2 when the benchmark could not be set up.
set -euo pipefail
export LC_ALL=C.UTF-8   # payload names are UTF-8 (Chinese folders)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
dir=${LUMEN_BENCH_DIR:-$root/build/bench}
work=$dir/install-bench
export LUMEN_WINEPREFIX=${LUMEN_WINEPREFIX:-/tmp/bench-install-prefix}
prefix=$LUMEN_WINEPREFIX
rounds=${BENCH_ROUNDS:-3}
payload_mb=${PAYLOAD_MB:-150}
payload_files=${PAYLOAD_FILES:-640}
payload_seed=${PAYLOAD_SEED:-1}
nsis_target=${BENCH_NSIS_TARGET:-auto}
run_timeout=${BENCH_TIMEOUT:-900}
wine_run=$root/tests/wine/run.sh
setup=${LUMEN_BENCH_SETUP:-$root/build/x64/bin/setup.exe}
packer=${LUMEN_PACKER:-$root/build/native/lumenpack}
setup_dest='C:\bench\setup'
nsis_dest='C:\bench\nsis'

now_ms() { local t; t=$(date +%s%N); echo $((t / 1000000)); }
say() { printf '%s\n' "$*" >&2; }
die() { say "install_bench.sh: $*"; exit 2; }
winpath() { local p; p=$(realpath -m "$1"); printf 'Z:%s' "${p//\//\\}"; }
mb() { awk -v b="$1" 'BEGIN { printf "%.1f MB", b / 1048576 }'; }
hash16() { sha256sum "$1" | cut -c1-16; }

[ -f "$setup" ] || die "no setup program ($setup): run make build-x64"
[ -x "$packer" ] || die "no packer ($packer): run make build-native"
command -v makensis >/dev/null || die "makensis is missing (Debian: apt-get install nsis)"
case $nsis_target in auto | x86-unicode | amd64-unicode) ;; *) die "BENCH_NSIS_TARGET: auto, x86-unicode or amd64-unicode" ;; esac
mkdir -p "$work"

# ---- 1. payload -------------------------------------------------------------------------
payload=$dir/payload
params="$payload_mb MB, $payload_files files, seed $payload_seed"
t=$(now_ms)
payload_from=cached
if [ ! -d "$payload/office6" ] || [ "$(cat "$dir/payload.params" 2>/dev/null)" != "$params" ]; then
  rm -f "$dir/payload.params" "$dir/archives.inputs"
  PAYLOAD_SEED=$payload_seed "$here/make_payload.sh" "$payload" "$payload_mb" "$payload_files" >"$dir/payload.info"
  printf '%s\n' "$params" >"$dir/payload.params"
  payload_from=generated
fi
# Manifest: "<sha256>  ./<path>" per file, in byte order; its own hash is make_payload.sh's
# fingerprint. The folder list goes beside it (empty folders count too).
manifest() { (cd "$1" && find . -type f -print0 | LC_ALL=C sort -z | xargs -0r sha256sum); }
folders() { (cd "$1" && find . -mindepth 1 -type d | LC_ALL=C sort); }
manifest "$payload" >"$work/payload.manifest"
folders "$payload" >"$work/payload.folders"
fingerprint=$(sha256sum <"$work/payload.manifest" | cut -c1-16)
payload_bytes=$(cd "$payload" && find . -type f -printf '%s\n' | awk '{ s += $1 } END { print s + 0 }')
payload_count=$(wc -l <"$work/payload.manifest")
payload_dirs=$(wc -l <"$work/payload.folders")
payload_empty=$(cd "$payload" && find . -mindepth 1 -type d -empty | wc -l)
payload_ms=$(( $(now_ms) - t ))

# ---- 2. the setup program's installer ---------------------------------------------------
# The installation's own files (entry 0): one install item, a profile-file write.
entry=$work/install
rm -rf "$entry" && mkdir -p "$entry"
cp "$here/install-entry/setup.xml" "$here/install-entry/deeprecommend.xml" "$entry/"

installer=$work/setup-install.exe
product_stamp="$(hash16 "$packer") $fingerprint $params"
stamp="$(hash16 "$setup") $(cd "$entry" && find . -type f -print0 | LC_ALL=C sort -z | xargs -0 sha256sum | sha256sum | cut -c1-16) $product_stamp"
t=$(now_ms)
if [ -f "$installer" ] && [ "$(cat "$installer.inputs" 2>/dev/null)" = "$stamp" ]; then
  pack_from=cached
else
  rm -f "$installer" "$installer.inputs"
  if [ -f "$work/product.7z" ] && [ "$(cat "$work/product.7z.inputs" 2>/dev/null)" = "$product_stamp" ]; then
    pack_from="cached product archive"
    product_in=$work/product.7z
  else
    pack_from="payload folder"
    rm -f "$work/product.7z" "$work/product.7z.inputs"
    product_in=$payload
  fi
  "$packer" --stub "$setup" --install "$entry" --product "$product_in" --out "$installer" >"$work/pack.log" 2>&1 ||
    { cat "$work/pack.log" >&2; die "packing failed"; }
  printf '%s\n' "$stamp" >"$installer.inputs"
fi
pack_ms=$(( $(now_ms) - t ))
# The product entry as written into the installer (packet layout: see tools/lumenpack), kept
# for the next packing.
u32() { od -An -tu4 -j "$2" -N4 "$1" | tr -d ' '; }
pe=$(u32 "$installer" 60)
at=$(( $(u32 "$installer" $((pe + 8))) + 6 ))
install_entry_len=$(u32 "$installer" "$at")
at=$((at + 8 + install_entry_len))
product_entry_len=$(u32 "$installer" "$at")
if [ "$(cat "$work/product.7z.inputs" 2>/dev/null)" != "$product_stamp" ]; then
  dd if="$installer" of="$work/product.7z.new" bs=64K iflag=skip_bytes,count_bytes skip=$((at + 8)) \
    count="$product_entry_len" status=none
  mv "$work/product.7z.new" "$work/product.7z"
  printf '%s\n' "$product_stamp" >"$work/product.7z.inputs"
fi

# ---- 3. the NSIS installer --------------------------------------------------------------
"$root/tests/wine/prepare.sh" "$prefix" >/dev/null
wine_version=$(/usr/lib/wine/wine64 --version 2>/dev/null || echo wine)
nsis_version=$(makensis -VERSION 2>/dev/null)
target_why="BENCH_NSIS_TARGET"
if [ "$nsis_target" = auto ]; then
  # Can this Wine run the usual (32-bit) NSIS installer? A tiny one that writes one file: its
  # exit code says nothing (a Wine without its 32-bit part answers 0 too), the file does.
  probe=$work/probe32
  mark=$prefix/drive_c/lumen-probe32.txt
  rm -rf "$probe" "$mark" && mkdir -p "$probe"
  printf '%s\n' 'Target x86-unicode' 'OutFile "probe32.exe"' 'RequestExecutionLevel user' 'SilentInstall silent' \
    'Section' '  FileOpen $0 "C:\lumen-probe32.txt" w' '  FileWrite $0 "ran"' '  FileClose $0' 'SectionEnd' \
    >"$probe/probe32.nsi"
  (cd "$probe" && makensis -V1 probe32.nsi) >"$probe/makensis.log" 2>&1 || { cat "$probe/makensis.log" >&2; die "makensis failed on the probe"; }
  timeout 60 "$wine_run" "$probe/probe32.exe" /S >"$probe/run.out" 2>&1 </dev/null || true
  if [ -f "$mark" ]; then
    rm -f "$mark"
    nsis_target=x86-unicode
    target_why="32-bit programs run under this Wine"
  else
    nsis_target=amd64-unicode
    target_why="32-bit programs do not run under this Wine (64-bit only, no WoW64 part): Debian's amd64 stubs"
  fi
fi
stub=/usr/share/nsis/Stubs/lzma_solid-${nsis_target}
[ -f "$stub" ] || die "makensis has no stub $stub"

# The script, UTF-8 with a byte-order mark (makensis then reads the Chinese names as UTF-8).
nsi=$work/nsis-install.nsi
nsis_installer=$work/nsis-install.exe
# shellcheck disable=SC2016  # $INSTDIR is NSIS's, not the shell's
{
  printf '\xef\xbb\xbf'
  printf '; Reference installer of the install benchmark: the payload tree, silently into $INSTDIR.\n'
  printf 'Target %s\n' "$nsis_target"
  printf 'SetCompressor /SOLID lzma\n'
  printf 'Name "Lumen Office install benchmark"\n'
  printf 'OutFile "%s"\n' "$nsis_installer"
  printf 'InstallDir "%s"\n' "$nsis_dest"
  printf 'RequestExecutionLevel admin\n'
  printf 'Section\n'
  printf '  SetOutPath "$INSTDIR"\n'
  printf '  File /r "%s/*"\n' "$payload"
  (cd "$payload" && find . -mindepth 1 -type d -empty | LC_ALL=C sort) | while IFS= read -r d; do
    d=${d#./}
    printf '  CreateDirectory "$INSTDIR\\%s"\n' "${d//\//\\}"
  done
  printf 'SectionEnd\n'
} >"$nsi"
nsis_stamp="$nsis_version $(hash16 "$stub") $(hash16 "$nsi") $fingerprint"
t=$(now_ms)
if [ -f "$nsis_installer" ] && [ "$(cat "$nsis_installer.inputs" 2>/dev/null)" = "$nsis_stamp" ]; then
  makensis_from=cached
else
  rm -f "$nsis_installer" "$nsis_installer.inputs"
  makensis -V3 "$nsi" >"$work/makensis.log" 2>&1 || { cat "$work/makensis.log" >&2; die "makensis failed"; }
  printf '%s\n' "$nsis_stamp" >"$nsis_installer.inputs"
  makensis_from=built
fi
makensis_ms=$(( $(now_ms) - t ))

# ---- 4. measure -------------------------------------------------------------------------
WINESERVER_BIN=/usr/lib/wine/wineserver64
[ -x "$WINESERVER_BIN" ] || WINESERVER_BIN=$(command -v wineserver)
drive=$prefix/drive_c
# The parts of the prepared prefix an install may change, as they are after preparation.
saved=(system.reg user.reg userdef.reg drive_c/users drive_c/ProgramData "drive_c/Program Files"
  "drive_c/Program Files (x86)" drive_c/windows/temp)
snapshot=$work/prefix-snapshot
stop_server() {
  "$root/tests/wine/stop.sh" "$prefix"
  WINEPREFIX=$prefix "$WINESERVER_BIN" -w 2>/dev/null || true   # registry written, server gone
}
stop_server
rm -rf "$snapshot" "$drive/bench"
mkdir -p "$snapshot/drive_c/windows"
for p in "${saved[@]}"; do
  if [ -e "$prefix/$p" ]; then cp -a "$prefix/$p" "$snapshot/$p"; fi
done
restore_prefix() {
  stop_server
  local p
  for p in "${saved[@]}"; do
    rm -rf "${prefix:?}/$p"
    if [ -e "$snapshot/$p" ]; then cp -a "$snapshot/$p" "$prefix/$p"; fi
  done
  rm -rf "$drive/bench"
}
# Reset, then one program start untimed: every measured run meets a running server and desktop.
reset_prefix() {
  restore_prefix
  "$root/tests/wine/prepare.sh" "$prefix" >/dev/null
  "$wine_run" cmd /c exit >/dev/null 2>&1 </dev/null || true
}
setup_log() {
  local f
  for f in "$drive"/users/*/AppData/Roaming/tallis/office6/log/setup/lumensetup.log; do
    [ -f "$f" ] && { printf '%s\n' "$f"; return; }
  done
}

runs=$work/run
rm -rf "$runs"
mkdir -p "$runs"
declare -A wall failed checked rss
# run <method> <round> <command...>: one timed run after a prefix reset, output to a file.
run() {
  local method=$1 round=$2
  shift 2
  reset_prefix
  sync
  local t0 t1 rc=0
  t0=$(now_ms)
  if [ -x /usr/bin/time ]; then  # peak resident set of the Linux process, Wine's share included
    /usr/bin/time -f %M -o "$runs/$method.$round.rss" timeout "$run_timeout" "$@" >"$runs/$method.$round.out" 2>&1 </dev/null || rc=$?
    rss[$method]+="$(tail -1 "$runs/$method.$round.rss" | tr -dc 0-9) "
  else
    timeout "$run_timeout" "$@" >"$runs/$method.$round.out" 2>&1 </dev/null || rc=$?
  fi
  t1=$(now_ms)
  wall[$method]+="$((t1 - t0)) "
  [ $rc = 0 ] || failed[$method]="exit $rc in round $round"
  [ $rc != 124 ] || failed[$method]="timed out after $run_timeout s in round $round"
}
# check <method> <install root>: the installed tree against the payload manifest (lines are
# "<64 hex digits>  ./<path>").
check() {
  local method=$1 tree=$2 counts missing differing extra dirs
  if [ ! -d "$tree" ]; then
    checked[$method]="no install folder"
    return
  fi
  manifest "$tree" >"$runs/$method.manifest"
  folders "$tree" >"$runs/$method.folders"
  counts=$(awk -v extra_list="$runs/$method.extra" '
    NR == FNR { want[substr($0, 67)] = substr($0, 1, 64); next }
    { p = substr($0, 67)
      if (!(p in want)) { extra++; print p > extra_list }
      else { if (want[p] != substr($0, 1, 64)) differing++; seen[p] = 1 } }
    END { for (p in want) if (!(p in seen)) missing++; print missing + 0, differing + 0, extra + 0 }' \
    "$work/payload.manifest" "$runs/$method.manifest")
  read -r missing differing extra <<<"$counts"
  dirs=$(comm -23 "$work/payload.folders" "$runs/$method.folders" | wc -l)
  if [ "$missing$differing$dirs" = 000 ]; then
    checked[$method]="same as payload"
  else
    checked[$method]="DIFFERENT: $missing missing, $differing differing, $dirs folders missing"
  fi
  if [ "$extra" != 0 ]; then
    checked[$method]+=", $extra more file(s): $(head -3 "$runs/$method.extra" | paste -sd ' ')"
  fi
}

setup_log_line=
run_setup() {
  local round=$1 log
  run setup "$round" "$wine_run" "$installer" -s -p "$setup_dest"
  log=$(setup_log)
  if [ -n "$log" ]; then
    cp "$log" "$runs/setup.$round.log"
    own+="$(grep -o 'install cost time:[0-9]*' "$log" | tail -1 | grep -o '[0-9]*$' || true) "
    peak+="$(grep -a -o 'peak private memory [0-9]*' "$log" | tail -1 | grep -o '[0-9]*$' || true) "
    check+="$(grep -a -o 'the installation check passed: .*, [0-9]* ms' "$log" | tail -1 | grep -o '[0-9]* ms$' | grep -o '[0-9]*' || true) "
    decoders+="$(grep -a -o 'decoders [0-9]* MiB' "$log" | tail -1 | grep -o '[0-9]*' || true) "
    if ! grep -q 'install end, return:1' "$log"; then
      [ -n "${failed[setup]:-}" ] || failed[setup]="no \"install end, return:1\" in the log in round $round"
    fi
  else
    [ -n "${failed[setup]:-}" ] || failed[setup]="no log in round $round"
  fi
  if [ -n "${failed[setup]:-}" ]; then
    setup_log_line=$( { [ -n "$log" ] && grep -v '^\s*$' "$log" | tail -5; } || true)
    return
  fi
  if [ "$round" = 1 ]; then
    local version
    version=$(cd "$drive/bench/setup" 2>/dev/null && find . -mindepth 1 -maxdepth 1 -type d -printf '%f\n' | head -1)
    setup_version=$version
    check setup "$drive/bench/setup/$version"
  fi
}
run_nsis() {
  local round=$1
  run nsis "$round" "$wine_run" "$nsis_installer" /S "/D=$nsis_dest"
  [ -z "${failed[nsis]:-}" ] || return 0
  [ "$round" != 1 ] || check nsis "$drive/bench/nsis"
}
setup_version=
own=   # the setup program's own figure from its log: install begin to end, ms
peak=  # ... its peak private memory while decoding, MiB
check=  # ... the final check of the installation, ms
decoders=  # ... the dictionaries of the blocks it decoded at once, MiB
for round in $(seq "$rounds"); do
  say "round $round of $rounds"
  if [ $((round % 2)) = 1 ]; then order=(setup nsis); else order=(nsis setup); fi
  for m in "${order[@]}"; do
    [ -z "${failed[$m]:-}" ] || continue      # a method that failed once is not run again
    "run_$m" "$round"
  done
  run start "$round" "$wine_run" cmd /c exit
done
restore_prefix
[ "${BENCH_KEEP_SERVER:-0}" != 1 ] || "$root/tests/wine/prepare.sh" "$prefix" >/dev/null

# ---- report -----------------------------------------------------------------------------
median() { tr ' ' '\n' | grep . | sort -n | awk '{ v[NR] = $1 } END { if (NR) print ((NR % 2) ? v[(NR + 1) / 2] : int((v[NR / 2] + v[NR / 2 + 1]) / 2)) }'; }
spread() { tr ' ' '\n' | grep . | sort -n | awk 'NR == 1 { lo = $1 } { hi = $1 } END { if (NR) printf "%s-%s", lo, hi }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a > 0 && b > 0) printf "%.2f", a / b; else printf "-" }'; }
# A method whose tree is not the payload installed something else: it gets no figure.
for m in setup nsis; do
  case ${checked[$m]:-} in
    "same as payload"*) ;;
    *) [ -n "${failed[$m]:-}" ] || failed[$m]="installed tree: ${checked[$m]:-not checked}" ;;
  esac
done
declare -A med
for m in setup nsis start; do
  med[$m]=
  [ -n "${failed[$m]:-}" ] || med[$m]=$(printf '%s' "${wall[$m]:-}" | median)
done

echo
echo "Install benchmark   $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, $wine_version"
echo "payload:   $payload_count files in $payload_dirs folders ($payload_empty empty), $(mb "$payload_bytes") ($payload_bytes bytes) ($params), fingerprint $fingerprint"
echo "setup:     $(basename "$installer") $(mb "$(stat -c %s "$installer")"): setup.exe $(mb "$(stat -c %s "$setup")")" \
  "(sha256 $(hash16 "$setup"), built $(date -u -r "$setup" '+%Y-%m-%d %H:%M UTC')), install entry $((install_entry_len / 1024)) KB," \
  "product entry $(mb "$product_entry_len"); packer $(basename "$packer")"
echo "NSIS:      $(basename "$nsis_installer") $(mb "$(stat -c %s "$nsis_installer")"): makensis $nsis_version, Target $nsis_target," \
  "SetCompressor /SOLID lzma (default 8 MB dictionary, CRC check on)"
echo "           target: $target_why"
echo "payload ${payload_ms} ms ($payload_from, with manifest), pack ${pack_ms} ms (from $pack_from), makensis ${makensis_ms} ms ($makensis_from)"
echo "silent install, wall time: median of $rounds rounds (range); each method once per round, order alternating;"
echo "before each run the prefix is reset, the install folder removed and the page cache flushed (sync)"
echo
printf '%-44s %9s %13s %8s %10s  %s\n' "method" "median ms" "range ms" "/NSIS" "peak RSS" "output"
printf '%-44s %9s %13s %8s %10s  %s\n' "------" "---------" "--------" "-----" "--------" "------"
for m in setup nsis start; do
  case $m in
    setup) label="setup.exe -s -p $setup_dest (Wine)" ;;
    nsis) label="NSIS /S /D=$nsis_dest (Wine) [reference]" ;;
    start) label="Wine program start (cmd /c exit)" ;;
  esac
  if [ -n "${failed[$m]:-}" ]; then
    printf '%-44s %9s %13s %8s %10s  %s\n' "$label" "-" "-" "-" "-" "FAILED: ${failed[$m]}"
  else
    out=${checked[$m]:-}
    [ "$m" != setup ] || [ -z "$setup_version" ] || out="$out (in $setup_dest\\$setup_version)"
    r=-
    [ "$m" = start ] || r=$(ratio "${med[$m]}" "${med[nsis]}")
    resident=-
    [ -z "${rss[$m]:-}" ] || resident="$(( $(printf '%s' "${rss[$m]}" | median) / 1024 )) MB"
    printf '%-44s %9s %13s %8s %10s  %s\n' "$label" "${med[$m]}" "$(printf '%s' "${wall[$m]}" | spread)" "$r" "$resident" "$out"
  fi
done
echo
printf '%-20s' "per round, ms"
for round in $(seq "$rounds"); do printf ' %9s' "round $round"; done
echo
for m in setup nsis start; do
  read -r -a v <<<"${wall[$m]:-}"
  printf '%-20s' "$m"
  for round in $(seq "$rounds"); do printf ' %9s' "${v[$((round - 1))]:--}"; done
  echo
done
read -r -a s <<<"${wall[setup]:-}"
read -r -a n <<<"${wall[nsis]:-}"
printf '%-20s' "setup / NSIS"
for round in $(seq "$rounds"); do
  r=-
  [ -n "${failed[setup]:-}" ] || [ -n "${failed[nsis]:-}" ] || r=$(ratio "${s[$((round - 1))]:-0}" "${n[$((round - 1))]:-0}")
  printf ' %9s' "$r"
done
echo
printf '%-20s' "setup, own log"
read -r -a v <<<"$own"
for round in $(seq "$rounds"); do printf ' %9s' "${v[$((round - 1))]:--}"; done
echo "   (\"install cost time\": install begin to end, without start-up)"
printf '%-20s' "setup, check ms"
read -r -a v <<<"$check"
read -r -a o <<<"$own"
for round in $(seq "$rounds"); do printf ' %9s' "${v[$((round - 1))]:--}"; done
echo "   (the final check of files, configuration and registration, from its log; share of the"
printf '%-20s' "  share of install"
for round in $(seq "$rounds"); do
  awk -v c="${v[$((round - 1))]:-}" -v t="${o[$((round - 1))]:-}" 'BEGIN { if (t > 0 && c != "") printf " %8.1f%%", 100 * c / t; else printf " %9s", "-" }'
done
echo "    install cost time above)"
printf '%-20s' "setup, peak MiB"
read -r -a v <<<"$peak"
for round in $(seq "$rounds"); do printf ' %9s' "${v[$((round - 1))]:--}"; done
read -r -a d <<<"$decoders"
echo "   (private memory while decoding, sampled every 25 ms, from its log; the decoders of the blocks"
echo "                                                       at once: ${d[0]:--} MiB, + 32 MiB allowed)"
echo
if [ -n "${med[setup]}" ] && [ -n "${med[nsis]}" ]; then
  echo "ratio setup / NSIS (median / median): $(ratio "${med[setup]}" "${med[nsis]}")"
else
  echo "ratio setup / NSIS: - (a method failed)"
fi
if [ -n "${failed[setup]:-}" ] && [ -n "$setup_log_line" ]; then
  echo "setup log, last lines:"
  printf '%s\n' "$setup_log_line" | sed 's/^/  /'
fi
[ -z "${failed[setup]:-}${failed[nsis]:-}${failed[start]:-}" ] || exit 1
rm -rf "$runs"
