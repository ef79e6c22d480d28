#!/usr/bin/env bash
# Block-split benchmark (figures, never pass/fail): what the packer's solid block limit costs in
# download size and buys in unpacking time, for the benchmark payload (make_payload.sh) and a
# real folder of programs nobody here wrote (Wine's 64-bit PE libraries, from Debian's wine64).
# For each payload and each limit (128, 256, 512 MiB and none): the installer is packed with
# lumenpack --block-limit (kept until an input changes), then `setup.exe -e` unpacks it under
# Wine, with the blocks decoded at once (as many as there are cores and memory for) and one at a
# time (LUMEN_DECODE_THREADS=1, a stand-in for a single-core machine); min/median/max of
# BENCH_ROUNDS rounds (default 3). The product entry's size gives the download time at 10 and
# 50 Mbit/s, added to the unpacking time. The setup log's block count and peak private memory
# of each run are shown too.
#   pack_bench.sh [x64 build folder]
# Environment: LUMEN_WINEPREFIX (default /tmp/pack-bench-prefix), BENCH_ROUNDS, PACK_LIMITS
# (default "128 256 512 none"), PACK_PAYLOADS (default "bench wine"), PACK_ONLY=1 (make the
# installers and stop).
set -euo pipefail
export LC_ALL=C.UTF-8
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:-$root/build/x64}" && pwd)
dir=$root/build/pack-bench
rounds=${BENCH_ROUNDS:-3}
limits=(${PACK_LIMITS:-128 256 512 none})
payloads=(${PACK_PAYLOADS:-bench wine})
packer=$root/build/native/lumenpack
setup=$build/bin/setup.exe
export LUMEN_WINEPREFIX=${LUMEN_WINEPREFIX:-/tmp/pack-bench-prefix}
wine_lib=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
say() { printf '%s\n' "$*" >&2; }
now_ms() { local t; t=$(date +%s%N); echo $((t / 1000000)); }
hash16() { sha256sum "$1" | cut -c1-16; }
[ -x "$packer" ] || { say "pack_bench.sh: no packer ($packer): run make build-native"; exit 1; }
mkdir -p "$dir"

# The payloads, made once: the product folder of each, and one install entry for both (one
# install item; -e never runs the list).
install=$dir/install
mkdir -p "$install" && cp "$root/bench/install-entry/setup.xml" "$root/bench/install-entry/deeprecommend.xml" "$install/"
declare -A product
for p in "${payloads[@]}"; do
  product[$p]=$dir/$p
  case $p in
    bench)
      if [ ! -d "$dir/bench/office6" ]; then
        say "making the benchmark payload"
        rm -rf "$dir/bench" && PAYLOAD_SEED=1 "$root/bench/make_payload.sh" "$dir/bench" 150 640 >/dev/null
      fi ;;
    wine)
      if [ ! -d "$dir/wine/office6" ]; then
        [ -d "$wine_lib" ] || { say "pack_bench.sh: $wine_lib is missing (Debian's wine64)"; exit 1; }
        say "copying Wine's PE libraries"
        rm -rf "$dir/wine" && mkdir -p "$dir/wine/office6" && cp -L "$wine_lib"/*.dll "$dir/wine/office6/"
      fi ;;
    *) say "pack_bench.sh: unknown payload $p"; exit 1 ;;
  esac
done

"$root/tests/wine/prepare.sh" "$LUMEN_WINEPREFIX" >/dev/null
log=$LUMEN_WINEPREFIX/drive_c/users/$(whoami)/AppData/Roaming/tallis/office6/log/setup/lumensetup.log
stamp_tools="$(hash16 "$packer") $(7zz | head -2 | tail -1)"
declare -A size blocks pack_s ms1 ms2 mem
# The product entries first (the slow part, kept as <key>.product.7z until the packer, 7zz, the
# payload or the limit changes; PACK_ONLY=1 stops after them), then each installer around its
# entry with the setup program as built (quick), then the measurements.
for p in "${payloads[@]}"; do
  for limit in "${limits[@]}"; do
    key=$p-$limit
    out=$dir/$key.exe entry=$dir/$key.product.7z
    stamp="$stamp_tools $limit $(cd "${product[$p]}" && find . -type f -printf '%p %s\n' | LC_ALL=C sort | sha256sum | cut -c1-16)"
    if [ "$(cat "$entry.inputs" 2>/dev/null)" != "$stamp" ]; then
      say "packing $key"
      rm -f "$entry" "$entry.inputs" "$out"
      t=$(now_ms)
      "$packer" --stub "$setup" --install "$install" --product "${product[$p]}" --out "$out" --block-limit "$limit"
      echo $(( $(now_ms) - t )) >"$entry.packms"
      read -r offset length < <("$packer" --verify "$out" | sed -n 's/^entry 1: offset \([0-9]*\), length \([0-9]*\),.*/\1 \2/p')
      tail -c +$((offset + 1)) "$out" | head -c "$length" >"$entry"
      printf '%s\n' "$stamp" >"$entry.inputs"
    fi
    "$packer" --stub "$setup" --install "$install" --product "$entry" --out "$out"
  done
done
[ "${PACK_ONLY:-0}" = 1 ] && exit 0
for p in "${payloads[@]}"; do
  for limit in "${limits[@]}"; do
    key=$p-$limit
    out=$dir/$key.exe
    pack_s[$key]=$(cat "$dir/$key.product.7z.packms")
    size[$key]=$("$packer" --verify "$out" | sed -n 's/^entry 1: offset [0-9]*, length \([0-9]*\),.*/\1/p')
    work=$dir/run-$key
    for round in $(seq "$rounds"); do
      for threads in 2 1; do
        rm -rf "$work" && mkdir -p "$work" && ln "$out" "$work/setup.exe"
        rm -f "$log"
        sync
        t=$(now_ms)
        if [ $threads = 1 ]; then LUMEN_DECODE_THREADS=1 "$root/tests/wine/run.sh" "$work/setup.exe" -e >/dev/null 2>&1
        else "$root/tests/wine/run.sh" "$work/setup.exe" -e >/dev/null 2>&1; fi
        ms=$(( $(now_ms) - t ))
        if [ $threads = 1 ]; then ms1[$key]+="$ms "; else ms2[$key]+="$ms "; fi
        line=$(iconv -f GBK -t UTF-8 "$log" 2>/dev/null | grep -a 'Extract [0-9]* blocks' | tail -1 || true)
        blocks[$key]=$(sed -n 's/.*Extract \([0-9]*\) blocks.*/\1/p' <<<"$line")
        [ $threads = 2 ] && mem[$key]=$(iconv -f GBK -t UTF-8 "$log" 2>/dev/null | grep -a 'peak private memory' | tail -1 |
          sed -n 's/.*peak private memory \([0-9]*\) MiB.*/\1/p')
      done
      say "$key round $round: ${ms2[$key]% }/${ms1[$key]% } ms"
    done
    rm -rf "$work"
  done
done
"$root/tests/wine/stop.sh" "$LUMEN_WINEPREFIX" >/dev/null 2>&1 || true

# figures <list of ms>: "min/median/max s"; median <list>: the median in ms.
median() { tr ' ' '\n' <<<"$1" | grep . | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
figures() { tr ' ' '\n' <<<"$1" | grep . | sort -n | awk '{ v[NR] = $1 } END { printf "%.2f/%.2f/%.2f s", v[1] / 1000, ((NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) / 1000, v[NR] / 1000 }'; }
echo "block-split benchmark, $rounds rounds, $(nproc) cores, $(7zz | head -2 | tail -1 | cut -c1-40)"
echo "unpacking: setup.exe -e under Wine, min/median/max; total: download of the product entry + median unpacking"
for p in "${payloads[@]}"; do
  none=${size[$p-none]:-}
  for limit in "${limits[@]}"; do
    key=$p-$limit
    m2=$(median "${ms2[$key]}") m1=$(median "${ms1[$key]}")
    awk -v p="$p" -v l="$limit" -v b="${blocks[$key]:-?}" -v s="${size[$key]}" -v n="$none" -v pk="${pack_s[$key]}" \
      -v f2="$(figures "${ms2[$key]}")" -v f1="$(figures "${ms1[$key]}")" -v m2="$m2" -v m1="$m1" -v mem="${mem[$key]:-?}" 'BEGIN {
        extra = (n != "" && n > 0) ? sprintf(" (%+.1f %% against none)", (s - n) * 100 / n) : ""
        printf "%-5s limit %-4s: %s blocks, product entry %.2f MB%s, packed in %.0f s\n", p, l, b, s / 1e6, extra, pk / 1000
        printf "      unpack: all cores %s (peak private memory %s MiB), one block at a time %s\n", f2, mem, f1
        for (i = 1; i <= 2; i++) {
          rate = (i == 1) ? 10 : 50; d = s * 8 / (rate * 1e6)
          printf "      at %2d Mbit/s: download %.1f s, with unpacking %.1f s (one at a time %.1f s)\n", rate, d, d + m2 / 1000, d + m1 / 1000
        }
      }'
  done
done
