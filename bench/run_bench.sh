#!/usr/bin/env bash
# Extraction benchmark: how long the setup program takes to turn a large packed installer into
# files, against 7-Zip's own programs on the same archives, all measured in one run.
#   run_bench.sh
# Steps:
#   1. builds extract_bench.exe, 7zr.exe and setup.exe in the bench build folder;
#   2. generates the payload (make_payload.sh) unless the cached one fits;
#   3. packs it with the packer into setup-large.exe (again only when an input changed), and
#      cuts the two packet entries out of it as install.7z and product.7z;
#   4. measures, each method once per round, rounds repeated (median reported):
#        setup.exe -e                 the setup program itself (fresh folder each time), its
#                                     blocks decoded at once and (LUMEN_DECODE_THREADS=1) one
#                                     after the other
#        extract_bench direct|memory  the archive facade in both modes, with its timings
#        7zr.exe x                    7-Zip's reduced console program, under the same Wine
#        7zz x                        Debian's 7-Zip, native on Linux
#        7zr.exe t, 7zz t             the same, decoding only (no files made), for the whole
#                                     archives and for each block of the product archive
#      Output trees are removed between runs (creating the files counts in the figures), and
#      the page cache is flushed (sync) before each run. Each method's output is checked
#      against the 7zz tree once.
# Figures are printed, never judged: ratios are against 7zr.exe under Wine and against native
# 7zz, measured in the same run.
# Environment:
#   LUMEN_BENCH_DIR     build and work folder (default <repo>/build/bench)
#   LUMEN_WINEPREFIX    Wine prefix (default /tmp/bench-prefix); stopped at the end unless
#                       BENCH_KEEP_SERVER=1
#   LUMEN_PACKER        packer (default <repo>/build/native/lumenpack)
#   LUMEN_BENCH_SETUP   setup program to pack and run (default: the one built here)
#   PAYLOAD_MB, PAYLOAD_FILES, PAYLOAD_SEED   payload shape (150, 640, 1)
#   BENCH_ROUNDS        rounds (default 3)
#   BENCH_JOBS          build jobs (default 2)
set -euo pipefail
export LC_ALL=C.UTF-8   # archive names are UTF-8 (Chinese folders)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
dir=${LUMEN_BENCH_DIR:-$root/build/bench}
export LUMEN_WINEPREFIX=${LUMEN_WINEPREFIX:-/tmp/bench-prefix}
rounds=${BENCH_ROUNDS:-3}
payload_mb=${PAYLOAD_MB:-150}
payload_files=${PAYLOAD_FILES:-640}
payload_seed=${PAYLOAD_SEED:-1}
wine_run=$root/tests/wine/run.sh

now_ms() { local t; t=$(date +%s%N); echo $((t / 1000000)); }
say() { printf '%s\n' "$*" >&2; }
winpath() { local p; p=$(realpath -m "$1"); printf 'Z:%s' "${p//\//\\}"; }

# ---- 1. build ---------------------------------------------------------------------------
t=$(now_ms)
mkdir -p "$dir"
if [ ! -f "$dir/CMakeCache.txt" ]; then
  cmake -S "$here" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-x86_64.cmake" >"$dir/configure.log" 2>&1 ||
    { cat "$dir/configure.log" >&2; exit 1; }
fi
cmake --build "$dir" -j "${BENCH_JOBS:-2}" --target extract_bench 7zr setup >"$dir/build.log" 2>&1 ||
  { tail -50 "$dir/build.log" >&2; exit 1; }
build_ms=$(( $(now_ms) - t ))
bin=$dir/bin
setup=${LUMEN_BENCH_SETUP:-$bin/setup.exe}
packer=${LUMEN_PACKER:-$root/build/native/lumenpack}
[ -x "$packer" ] || { say "run_bench.sh: no packer ($packer): run make build-native"; exit 1; }
command -v 7zz >/dev/null || { say "run_bench.sh: 7zz (Debian's 7zip) is missing"; exit 1; }

# ---- 2. payload -------------------------------------------------------------------------
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
payload_ms=$(( $(now_ms) - t ))

# The installation's own files (entry 0): configuration and wizard images, always the same.
install=$dir/install
rm -rf "$install" && mkdir -p "$install/install_res/images"
# A configuration the setup program accepts (one install item); -e never runs the list.
cp "$here/install-entry/setup.xml" "$here/install-entry/deeprecommend.xml" "$install/"
n=0
for image in bg.png logo.png images/step1.png images/step2.png images/step3.png images/finish.jpg; do
  n=$((n + 1))
  head -c $((120000 * n)) <(openssl enc -aes-128-ctr -nosalt -K "$(printf '%032x' "$n")" -iv 0 </dev/zero 2>/dev/null) \
    >"$install/install_res/$image"
done

# ---- 3. pack ----------------------------------------------------------------------------
# Compressing the payload takes minutes; the setup program changes far more often. So the two
# archives cut from the last installer are kept (install.7z, product.7z) and, when only the
# setup program changed, handed to the packer as they are (it takes a ready 7z archive for a
# folder).
installer=$dir/setup-large.exe
t=$(now_ms)
archives_stamp="$(sha256sum "$packer" | cut -c1-16) $(cd "$install" && find . -type f -print0 | sort -z | xargs -0 sha256sum | sha256sum | cut -c1-16) $params"
stamp="$(sha256sum "$setup" | cut -c1-16) $archives_stamp"
pack_from=folders
if [ ! -f "$installer" ] || [ "$(cat "$installer.inputs" 2>/dev/null)" != "$stamp" ]; then
  rm -f "$installer" "$installer.inputs"
  if [ -f "$dir/install.7z" ] && [ -f "$dir/product.7z" ] && [ "$(cat "$dir/archives.inputs" 2>/dev/null)" = "$archives_stamp" ] &&
     "$packer" --help 2>&1 | grep -q 'folder or .7z'; then
    pack_from=archives
    mv "$dir/install.7z" "$dir/install.in.7z"
    mv "$dir/product.7z" "$dir/product.in.7z"
    "$packer" --stub "$setup" --install "$dir/install.in.7z" --product "$dir/product.in.7z" --out "$installer" \
      >"$dir/pack.log" 2>&1 || { cat "$dir/pack.log" >&2; exit 1; }
    rm -f "$dir/install.in.7z" "$dir/product.in.7z"
  else
    rm -f "$dir/archives.inputs"
    "$packer" --stub "$setup" --install "$install" --product "$payload" --out "$installer" >"$dir/pack.log" 2>&1 ||
      { cat "$dir/pack.log" >&2; exit 1; }
  fi
  printf '%s\n' "$stamp" >"$installer.inputs"
else
  pack_from=cached
fi
pack_ms=$(( $(now_ms) - t ))
# The entries as written into the installer, read back by the packet layout.
u32() { od -An -tu4 -j "$2" -N4 "$1" | tr -d ' '; }
pe=$(u32 "$installer" 60)
at=$(( $(u32 "$installer" $((pe + 8))) + 6 ))
for name in install product; do
  len=$(u32 "$installer" "$at")
  dd if="$installer" of="$dir/$name.7z" bs=64K iflag=skip_bytes,count_bytes skip=$((at + 8)) count="$len" status=none
  at=$((at + 8 + len))
done
printf '%s\n' "$archives_stamp" >"$dir/archives.inputs"

# Reference trees (native 7zz) for checking every method's output once.
ref=$dir/ref
rm -rf "$ref"
for name in install product; do 7zz x -y -o"$ref/$name" "$dir/$name.7z" >/dev/null; done
ref_files=$(find "$ref/product" -type f | wc -l)
ref_dirs=$(find "$ref/product" -mindepth 1 -type d | wc -l)
ref_bytes=$(du -sb --apparent-size "$ref/product" | cut -f1)
# blocks <archive> <prefix>: one line per block (index, files, unpacked bytes, packed bytes,
# method) into <prefix>.txt, and the block's item paths into <prefix><index>.list.
blocks() {
  7zz l -slt "$1" | awk -v prefix="$2" '
    /^----------/ { items = 1; next }
    !items { next }
    /^Path = / { path = substr($0, 8) }
    /^Size = / { size = substr($0, 8) }
    /^Packed Size = / { packed = substr($0, 15) }
    /^Method = / { method = substr($0, 10) }
    /^Block = / {
      b = substr($0, 9)
      if (b != "") {
        print path > (prefix b ".list")
        files[b]++; bytes[b] += size; pack[b] += packed; m[b] = method
      }
      packed = 0
    }
    END { for (b in files) printf "%s\t%d\t%d\t%d\t%s\n", b, files[b], bytes[b], pack[b], m[b] }' | sort -n >"$2.txt"
}
describe() {  # describe <blocks file>
  local b files bytes packed method
  while IFS=$'\t' read -r b files bytes packed method; do
    printf '  block %s: %4d files, %6.1f MB -> %5.1f MB, %s\n' "$b" "$files" \
      "$(awk -v v="$bytes" 'BEGIN { print v / 1048576 }')" "$(awk -v v="$packed" 'BEGIN { print v / 1048576 }')" "$method"
  done <"$1"
}
blocks "$dir/install.7z" "$dir/install-block"
blocks "$dir/product.7z" "$dir/product-block"
mapfile -t product_blocks < <(cut -f1 "$dir/product-block.txt")

# ---- 4. measure -------------------------------------------------------------------------
"$root/tests/wine/prepare.sh" "$LUMEN_WINEPREFIX" >/dev/null
work=$dir/run
rm -rf "$work"
mkdir -p "$work"
have_time=0
[ -x /usr/bin/time ] && have_time=1

declare -A wall rss info
# run <method> <output folder> <command...>: one timed run, output to a file; records wall ms
# and peak resident set (KiB, of the whole Linux process: Wine's own share included).
run() {
  local method=$1 out=$2
  shift 2
  rm -rf "$out"
  mkdir -p "$out"
  sync
  local t0 t1 rc=0
  t0=$(now_ms)
  if [ $have_time = 1 ]; then
    /usr/bin/time -f %M -o "$work/$method.rss" "$@" >"$work/$method.out" 2>&1 </dev/null || rc=$?
  else
    "$@" >"$work/$method.out" 2>&1 </dev/null || rc=$?
  fi
  t1=$(now_ms)
  if [ $rc != 0 ]; then
    say "run_bench.sh: $method failed (exit $rc):"
    cat "$work/$method.out" >&2
    exit 1
  fi
  wall[$method]+="$((t1 - t0)) "
  if [ $have_time = 1 ]; then rss[$method]+="$(tail -1 "$work/$method.rss") "; fi
}
# check <method> <install folder> <product folder>: the output equals the 7zz trees
declare -A checked
check() {
  if diff -r "$ref/install" "$2" >/dev/null && diff -r "$ref/product" "$3" >/dev/null; then
    checked[$1]=same
  else
    checked[$1]=DIFFERENT
  fi
}

methods=(setup setup1 direct memory 7zr 7zz 7zr_t 7zz_t start)
for round in $(seq "$rounds"); do
  say "round $round of $rounds"
  # setup.exe -e: unpacks into extract\ beside itself, so it runs from a fresh folder.
  rm -rf "$work/setup"
  mkdir -p "$work/setup"
  ln "$installer" "$work/setup/setup-large.exe"
  run setup "$work/setup/extract" "$wine_run" "$work/setup/setup-large.exe" -e
  # The same with one block decoded at a time.
  rm -rf "$work/setup1"
  mkdir -p "$work/setup1"
  ln "$installer" "$work/setup1/setup-large.exe"
  run setup1 "$work/setup1/extract" env LUMEN_DECODE_THREADS=1 "$wine_run" "$work/setup1/setup-large.exe" -e

  for mode in direct memory; do
    run $mode "$work/$mode" "$wine_run" "$bin/extract_bench.exe" "$(winpath "$installer")" "$(winpath "$work/$mode")" $mode
    info[$mode]+="$(grep '^RESULT ' "$work/$mode.out")"$'\n'
  done

  run 7zr "$work/7zr" bash -c '"$1" "$2" x -y -o"$3\\install" "$4" && "$1" "$2" x -y -o"$3\\product" "$5"' _ \
    "$wine_run" "$bin/7zr.exe" "$(winpath "$work/7zr")" "$(winpath "$dir/install.7z")" "$(winpath "$dir/product.7z")"

  run 7zz "$work/7zz" bash -c '7zz x -y -o"$1/install" "$2" && 7zz x -y -o"$1/product" "$3"' _ \
    "$work/7zz" "$dir/install.7z" "$dir/product.7z"

  # Decoding only, whole archives, then each block of the product archive on its own.
  run 7zr_t "$work/t" bash -c '"$1" "$2" t "$3" && "$1" "$2" t "$4"' _ \
    "$wine_run" "$bin/7zr.exe" "$(winpath "$dir/install.7z")" "$(winpath "$dir/product.7z")"
  run 7zz_t "$work/t" bash -c '7zz t "$1" && 7zz t "$2"' _ "$dir/install.7z" "$dir/product.7z"
  for b in "${product_blocks[@]}"; do
    run "block${b}_7zr" "$work/t" "$wine_run" "$bin/7zr.exe" t -scsUTF-8 "-i@$(winpath "$dir/product-block$b.list")" \
      "$(winpath "$dir/product.7z")"
    run "block${b}_7zz" "$work/t" 7zz t -scsUTF-8 "-i@$dir/product-block$b.list" "$dir/product.7z"
  done

  # Starting a Windows program under the running wineserver, for scale: 7zr printing its help.
  run start "$work/start" "$wine_run" "$bin/7zr.exe" i

  if [ "$round" = "$rounds" ]; then
    check setup "$work/setup/extract/install" "$work/setup/extract/product"
    check setup1 "$work/setup1/extract/install" "$work/setup1/extract/product"
    check direct "$work/direct/install" "$work/direct/product"
    check memory "$work/memory/install" "$work/memory/product"
    check 7zr "$work/7zr/install" "$work/7zr/product"
    check 7zz "$work/7zz/install" "$work/7zz/product"
  fi
done
rm -rf "$work"
[ "${BENCH_KEEP_SERVER:-0}" = 1 ] || "$root/tests/wine/stop.sh" "$LUMEN_WINEPREFIX"

# ---- report -----------------------------------------------------------------------------
median() { tr ' ' '\n' | grep . | sort -n | awk '{ v[NR] = $1 } END { print ((NR % 2) ? v[(NR + 1) / 2] : int((v[NR / 2] + v[NR / 2 + 1]) / 2)) }'; }
spread() { tr ' ' '\n' | grep . | sort -n | awk 'NR == 1 { lo = $1 } { hi = $1 } END { printf "%s-%s", lo, hi }'; }
field() {  # field <method> <key>: median of a RESULT value over the rounds
  printf '%s' "${info[$1]}" | grep -o "$2=[0-9.]*" | cut -d= -f2 | awk '{ printf "%d ", $1 + 0.5 }' | median
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else printf "-" }'; }

declare -A med
for m in "${methods[@]}"; do med[$m]=$(printf '%s' "${wall[$m]}" | median); done
ref7zr=${med[7zr]}
ref7zz=${med[7zz]}

echo
echo "Extraction benchmark   $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, $(/usr/lib/wine/wine64 --version 2>/dev/null || echo wine)"
echo "payload:   $ref_files files in $ref_dirs folders, $(awk -v b="$ref_bytes" 'BEGIN { printf "%.1f MB (%d bytes)", b / 1048576, b }') unpacked ($params)"
sed -n 's/^payload: /generator: /p; s/^  /           /p; s/^fingerprint: /payload fingerprint: /p' "$dir/payload.info"
echo "installer: $(basename "$installer") $(awk -v b="$(stat -c %s "$installer")" 'BEGIN { printf "%.1f MB", b / 1048576 }'), packer $(basename "$packer")"
for name in install product; do
  printf 'entry %s: %.1f MB packed\n' "$name" "$(awk -v b="$(stat -c %s "$dir/$name.7z")" 'BEGIN { print b / 1048576 }')"
  describe "$dir/$name-block.txt"
done
echo "build ${build_ms} ms, payload ${payload_ms} ms ($payload_from), pack ${pack_ms} ms (from $pack_from)"
echo "wall time per method: median of $rounds rounds (range), both entries; ratios are median / median"
echo
printf '%-40s %9s %13s %8s %8s %10s  %s\n' "method" "median ms" "range ms" "/7zr" "/7zz" "peak RSS" "output"
printf '%-40s %9s %13s %8s %8s %10s  %s\n' "------" "---------" "--------" "----" "----" "--------" "------"
label() {
  case $1 in
    setup) echo "setup.exe -e (Wine)" ;;
    setup1) echo "setup.exe -e, one block at a time (Wine)" ;;
    direct) echo "extract_bench direct (Wine)" ;;
    memory) echo "extract_bench memory (Wine)" ;;
    7zr) echo "7zr.exe x, 2 archives (Wine) [reference]" ;;
    7zz) echo "7zz x, 2 archives (native Linux)" ;;
    7zr_t) echo "7zr.exe t, 2 archives (Wine, decode only)" ;;
    7zz_t) echo "7zz t, 2 archives (native, decode only)" ;;
    start) echo "Wine program start (7zr.exe i)" ;;
  esac
}
for m in "${methods[@]}"; do
  peak=-
  if [ -n "${rss[$m]:-}" ]; then peak="$(( $(printf '%s' "${rss[$m]}" | median) / 1024 )) MB"; fi
  out=${checked[$m]:-}
  [ -z "$out" ] || out="$out as 7zz"
  printf '%-40s %9s %13s %8s %8s %10s  %s\n' "$(label "$m")" "${med[$m]}" "$(printf '%s' "${wall[$m]}" | spread)" \
    "$(ratio "${med[$m]}" "$ref7zr")" "$(ratio "${med[$m]}" "$ref7zz")" "$peak" "$out"
done
echo
echo "inside extract_bench (medians, ms; the process's own peak memory from GetProcessMemoryInfo):"
printf '%-8s %7s %7s %9s %9s %7s %9s %14s %15s\n' mode open crc decode write free total "peak WS MB" "peak private MB"
for mode in direct memory; do
  printf '%-8s %7s %7s %9s %9s %7s %9s %14s %15s\n' "$mode" "$(field $mode open_ms)" "$(field $mode crc_ms)" \
    "$(field $mode decode_ms)" "$(field $mode write_ms)" "$(field $mode free_ms)" "$(field $mode total_ms)" \
    "$(( $(field $mode peak_working_set_kb) / 1024 ))" "$(( $(field $mode peak_private_kb) / 1024 ))"
done
echo "(direct: decode = decode and write together, the files are written while decoded;"
echo " peak WS includes the mapped installer; peak private is sampled every 5 ms)"
echo
echo "product archive, decoding one block at a time (t command, medians):"
printf '%-7s %6s %10s %-44s %10s %10s %9s %11s\n' block files "MB" method "7zz ms" "7zr ms" "7zr/7zz" "7zr MB/s"
while IFS=$'\t' read -r b files bytes packed method; do
  zz=$(printf '%s' "${wall[block${b}_7zz]}" | median)
  zr=$(printf '%s' "${wall[block${b}_7zr]}" | median)
  printf '%-7s %6s %10.1f %-44s %10s %10s %9s %11.1f\n' "$b" "$files" "$(awk -v v="$bytes" 'BEGIN { print v / 1048576 }')" \
    "$method" "$zz" "$zr" "$(ratio "$zr" "$zz")" "$(awk -v v="$bytes" -v t="$zr" 'BEGIN { print (t > 0 ? v / 1048576 / (t / 1000) : 0) }')"
done <"$dir/product-block.txt"
echo "(each block figure includes one program start: $(printf '%s' "${wall[start]}" | median) ms under Wine)"
