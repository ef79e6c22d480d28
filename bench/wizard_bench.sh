#!/usr/bin/env bash
# Wizard benchmark (figures, never pass/fail) of the 64-bit program and of the shipped 32-bit one
# (their demo installers: <build>/demodata and <build>/demodata-x86), in one run under the same
# Wine and X display:
#   - start of the process to the wizard shown (its first paint follows in the same turn of its
#     message loop), against a plain program that shows one window, built beside each program
#     with its compiler and flags (plain_window.exe of build/x64 and of build/x86), and against
#     the first page of an NSIS wizard of the same suite (below). Measured twice:
#       warm  the wineserver and Wine's desktop already running, as for any program started
#             after another: timed inside Wine (wizard_timer shown), from CreateProcess to the
#             window visible with its first page;
#       cold  the wineserver stopped (wineserver -k, waited for) before each start, so that the
#             start includes the server's own start, Wine's services and desktop (Linux's file
#             cache stays warm): timed from the shell, from just before `wine64 <program>` to
#             the window mapped on the X display (xev; NSIS maps its window a few ms before its
#             first page's button shows);
#   - Enter on the wizard (install, with the demo suite preloaded while the wizard waited 2 s)
#     to the end of the process, against a silent install (-s) of the same installer;
#   - the whole interactive install against the NSIS wizard's, from the start of the process to
#     its end, Enter pressed as soon as each page can take it (wizard_timer press): the wizard
#     one Enter, NSIS three (welcome, licence, folder; it closes itself after installing).
#     Enter is a real key event: SendInput inside Wine, to the window brought to the front.
# The NSIS wizard (bench/wizard-nsis/wizard.nsi: Modern UI 2 welcome, licence, folder and
# install pages, SetCompressor /SOLID lzma) is built with Debian's makensis for 32-bit Windows
# from each program's demo suite (demodata*/product) and the licence text, and kept in
# <build>/wizard-nsis until one of its inputs changes; it installs into C:\bench\nsis-wizard,
# removed around each of its installs.
# min/median/max of BENCH_ROUNDS rounds (default 5), the order alternating between rounds; every
# install starts on a machine without the suite.
#   wizard_bench.sh [x64 build folder]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:-$root/build/x64}" && pwd)
rounds=${BENCH_ROUNDS:-5}
work=$build/wizard-bench
archs=(x64 x86)
declare -A bin=([x64]=$build/bin [x86]=$root/build/x86/bin) data=([x64]=$build/demodata [x86]=$build/demodata-x86)
declare -A bits=([x64]=64-bit [x86]=32-bit)
for a in "${archs[@]}"; do
  # Made again when the setup program is newer: the figures are those of the program just built.
  [ -f "${data[$a]}/setup-demo.exe" ] && [ ! "${bin[$a]}/setup.exe" -nt "${data[$a]}/setup-demo.exe" ] || bash "$root/scripts/make_demo_payload.sh" "$root/build/native/lumenpack" \
    "${bin[$a]}/setup.exe" "${bin[$a]}/standin.exe" "${bin[$a]}/lmo.dll" "${data[$a]}" >/dev/null
done

# The NSIS wizards, made again when makensis, its stub, the script, the licence or the suite change.
nsis_dir=$build/wizard-nsis
nsis_title='Lumen Office NSIS wizard'
licence=$root/demo/payload/install/licence.txt
hash16() { sha256sum "$1" | cut -c1-16; }
mkdir -p "$nsis_dir"
for a in "${archs[@]}"; do
  product=${data[$a]}/product
  stamp="$(makensis -VERSION) $(hash16 /usr/share/nsis/Stubs/lzma_solid-x86-unicode) $(hash16 "$root/bench/wizard-nsis/wizard.nsi")"
  stamp+=" $(hash16 "$licence") $(cd "$product" && find . -type f -print0 | LC_ALL=C sort -z | xargs -0 sha256sum | sha256sum | cut -c1-16)"
  if [ "$(cat "$nsis_dir/nsis-$a.exe.inputs" 2>/dev/null)" != "$stamp" ]; then
    rm -f "$nsis_dir/nsis-$a.exe" "$nsis_dir/nsis-$a.exe.inputs"
    makensis -V2 "-DPRODUCT=$product" "-DLICENCE=$licence" "-DOUTFILE=$nsis_dir/nsis-$a.exe" \
      "$root/bench/wizard-nsis/wizard.nsi" >"$nsis_dir/makensis-$a.log" 2>&1 || { cat "$nsis_dir/makensis-$a.log" >&2; exit 2; }
    printf '%s\n' "$stamp" >"$nsis_dir/nsis-$a.exe.inputs"
  fi
done

export LUMEN_WINEPREFIX=${LUMEN_WINEPREFIX:-/tmp/bench-wizard-prefix}
# shellcheck source=../tests/interactive/wizard_machine.sh
. "$root/tests/interactive/wizard_machine.sh"
# shellcheck source=../tests/wine/env.sh
. "$root/tests/wine/env.sh" "$LUMEN_WINEPREFIX"   # WINE64, WINESERVER_BIN and wine_env, for the cold starts
rm -f "$work/setup.exe"
declare -A setup plain nsis
for a in "${archs[@]}"; do
  mkdir -p "$work/$a" && cp "${data[$a]}/setup-demo.exe" "$work/$a/setup.exe"
  setup[$a]=$work/$a/setup.exe plain[$a]=${bin[$a]}/plain_window.exe nsis[$a]=$nsis_dir/nsis-$a.exe
done
nsis_installed=$LUMEN_WINEPREFIX/drive_c/bench/nsis-wizard
timer=$build/bin/wizard_timer.exe
stop_server() { "$root/tests/wine/stop.sh" "$LUMEN_WINEPREFIX"; "$WINESERVER_BIN" -w 2>/dev/null || true; }
# measure <name> <timer arguments...>: one figure into <name>.ms; with expect=<folder>, only when
# the run installed that folder. A failed run's programs end with the server. The timer writes
# to a file of its own (run.sh --own-output): a program it started that lingers cannot hold the
# figure's pipe open; Wine's own messages in that file are passed over. The figure decides, not
# the exit status: the timer prints one only when it measured it, and Wine's loader was seen
# aborting a program at its very end ("Inconsistency detected by ld.so").
measure() {
  local ms
  ms=$("$root/tests/wine/run.sh" --own-output "$timer" "${@:2}" | tr -d '\r' | grep -E '^[0-9]+$' | tail -n 1) || true
  if [ -z "$ms" ]; then
    echo "  $1: failed" >&2; stop_server; return 0
  fi
  if [ -n "${expect:-}" ] && [ ! -d "$expect" ]; then echo "  $1: installed nothing" >&2; return 0; fi
  echo "$round $ms" >>"$work/$1.ms"
}
# cold <name> <program> <window title>: the server stopped, `wine64 <program>` to its window
# mapped on the X display, into <name>.ms; the server is stopped again afterwards.
cold() {
  local events xev t0 line at wine ms=''
  stop_server
  exec {events}< <(exec stdbuf -oL xev -root -event substructure 2>/dev/null)
  xev=$!
  sleep 0.2
  t0=${EPOCHREALTIME/[.,]/}   # microseconds
  WINEDEBUG=-all "${wine_env[@]}" "$WINE64" "$2" </dev/null >/dev/null 2>&1 &
  wine=$!
  while read -r -t 30 -u "$events" line; do   # "MapNotify event, ...", then "event <root>, window <id>, ..."
    [[ $line == MapNotify* ]] || continue
    at=${EPOCHREALTIME/[.,]/}
    read -r -t 5 -u "$events" line || break
    line=${line#*window }
    if [ "$(xdotool getwindowname "${line%%,*}" 2>/dev/null)" = "$3" ]; then
      ms=$(((at - t0 + 500) / 1000))
      break
    fi
  done
  kill "$xev" 2>/dev/null || true
  exec {events}<&-
  stop_server
  wait "$wine" 2>/dev/null || true
  if [ -n "$ms" ]; then echo "$round $ms" >>"$work/$1.ms"; else echo "  $1: failed" >&2; fi
}
# in_order <round> <item...>: the items, the other way round in even rounds.
in_order() { if [ $(($1 % 2)) = 1 ]; then printf '%s\n' "${@:2}"; else printf '%s\n' "${@:2}" | tac; fi; }
starts=(x64-plain x64-wizard x64-nsis x86-plain x86-wizard x86-nsis)
installs=(x64-silent x64-install x64-press x64-nsis x86-silent x86-install x86-press x86-nsis)

forget
for round in $(seq "$rounds"); do
  echo "round $round of $rounds" >&2
  for item in $(in_order "$round" "${starts[@]}"); do
    a=${item%-*}
    case ${item#*-} in
      plain) cold "cold-$item" "${plain[$a]}" 'Lumen plain window' ;;
      wizard) cold "cold-$item" "${setup[$a]}" "$title" ;;
      nsis) cold "cold-$item" "${nsis[$a]}" "$nsis_title" ;;
    esac
  done
  forget
  for a in "${archs[@]}"; do   # the server and desktop back, one program started untimed
    run "$timer" shown "$(win "${plain[$a]}")" 'Lumen plain window' >/dev/null || true
  done
  for item in $(in_order "$round" "${starts[@]}"); do
    a=${item%-*}
    case ${item#*-} in
      plain) measure "warm-$item" shown "$(win "${plain[$a]}")" 'Lumen plain window' ;;
      wizard) measure "warm-$item" shown "$(win "${setup[$a]}")" "$title" ;;
      nsis) measure "warm-$item" shown "$(win "${nsis[$a]}")" "$nsis_title" ;;
    esac
  done
  forget
  for item in $(in_order "$round" "${installs[@]}"); do
    a=${item%-*}
    case ${item#*-} in
      silent) expect=$installed measure "$item" run "$(win "${setup[$a]}")" -s; forget ;;
      install) expect=$installed measure "$item" install "$(win "${setup[$a]}")" "$title"; forget ;;
      press) expect=$installed measure "$item" press "$(win "${setup[$a]}")" "$title" 1; forget ;;
      nsis)
        rm -rf "$nsis_installed"
        expect=$nsis_installed/office6 measure "$item" press "$(win "${nsis[$a]}")" "$nsis_title" 3
        rm -rf "$nsis_installed" ;;
    esac
  done
done

# Each line of <name>.ms holds a round's number and its figure.
# figures <name>: min/median/max of <name>.ms ("failed" without any; the rounds counted when
# some failed); median <name>: its median.
values() { awk '{ print $2 }' "$work/$1.ms" 2>/dev/null; }
middle() { sort -n | awk '{ v[NR] = $1 } END { if (NR) print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
median() { values "$1" | middle; }
figures() {
  values "$1" | sort -n | awk -v rounds="$rounds" '{ v[NR] = $1 }
    END { if (!NR) { printf "failed"; exit }
          printf "%.0f/%.0f/%.0f ms", v[1], (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2, v[NR]
          if (NR < rounds) printf " (%d of %d rounds)", NR, rounds }'
}
# compare <how> <name> <reference name>: "+<difference> ms" (how=-) or "<how> <ratio>" of the
# medians, the ratio followed by the median of the rounds' own ratios (the two measured minutes
# apart at most, so a slow spell of the machine weighs on both).
compare() {
  local paired
  paired=$(awk 'NR == FNR { a[$1] = $2; next } ($1 in a) && $2 > 0 { print a[$1] / $2 }' \
             "$work/$2.ms" "$work/$3.ms" 2>/dev/null | middle)
  awk -v how="$1" -v a="$(median "$2")" -v b="$(median "$3")" -v p="$paired" 'BEGIN {
    if (a == "" || b == "") printf "%s -", (how == "-") ? "difference" : how
    else if (how == "-") printf "%+.0f ms", a - b
    else printf "%s %.2f (per round %.2f)", how, a / b, p }'
}
echo "wizard benchmark, $rounds rounds, $(/usr/lib/wine/wine64 --version 2>/dev/null || echo wine), makensis $(makensis -VERSION), demo suite"
echo "min/median/max of the rounds; differences and ratios of the medians (per round: the median of the rounds' ratios); ours/NSIS aims at 1.00 or less"
echo "warm: wineserver and desktop running, timed inside Wine; cold: wineserver stopped before each start (its start counted), timed from the shell to the window mapped on X"
for a in "${archs[@]}"; do
  for server in warm cold; do
    printf '%s  %s  start to first paint: wizard %s; plain window %s; %s\n' "${bits[$a]}" "$server" \
      "$(figures "$server-$a-wizard")" "$(figures "$server-$a-plain")" "$(compare - "$server-$a-wizard" "$server-$a-plain")"
    printf '%s  %s  start to first page:  wizard %s; NSIS %s; %s\n' "${bits[$a]}" "$server" \
      "$(figures "$server-$a-wizard")" "$(figures "$server-$a-nsis")" "$(compare ours/NSIS "$server-$a-wizard" "$server-$a-nsis")"
  done
done
for a in "${archs[@]}"; do
  printf '%s  Enter to the end (preloaded): wizard %s; silent install %s; %s\n' "${bits[$a]}" \
    "$(figures "$a-install")" "$(figures "$a-silent")" "$(compare ratio "$a-install" "$a-silent")"
done
for a in "${archs[@]}"; do
  printf '%s  interactive install, start to end: wizard (1 Enter) %s; NSIS (3 Enters) %s; %s\n' "${bits[$a]}" \
    "$(figures "$a-press")" "$(figures "$a-nsis")" "$(compare ours/NSIS "$a-press" "$a-nsis")"
done
