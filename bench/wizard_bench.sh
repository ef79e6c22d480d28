#!/usr/bin/env bash
# Wizard benchmark (figures, never pass/fail), in one run under the same Wine and X display:
#   - start of the process to the wizard showing (its first paint follows in the same turn of
#     its message loop) against a plain program that shows one window;
#   - Enter on the wizard (install, with the small demo suite preloaded while the wizard
#     waited) to the end of the process, against a silent install of the same installer.
# Medians of BENCH_ROUNDS rounds (default 5), the order alternating between rounds; every
# install starts on a machine without the suite.
#   wizard_bench.sh [x64 build folder]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:-$root/build/x64}" && pwd)
rounds=${BENCH_ROUNDS:-5}
work=$build/wizard-bench
[ -f "$build/demodata/setup-demo.exe" ] || bash "$root/scripts/make_demo_payload.sh" "$root/build/native/lumenpack" \
  "$build/bin/setup.exe" "$build/bin/standin.exe" "$build/bin/lmo.dll" "$build/demodata" >/dev/null
export LUMEN_WINEPREFIX=${LUMEN_WINEPREFIX:-/tmp/bench-wizard-prefix}
# shellcheck source=../tests/interactive/wizard_machine.sh
. "$root/tests/interactive/wizard_machine.sh"
setup=$(win "$work/setup.exe")
timer=$build/bin/wizard_timer.exe
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
measure() {  # measure <name> <timer arguments...>: one figure into <name>.ms
  local ms
  ms=$(run "$timer" "${@:2}" | tr -d '\r') || { echo "  $1: failed" >&2; return; }
  echo "$ms" >>"$work/$1.ms"
}

forget
run "$timer" shown "$(win "$build/bin/plain_window.exe")" 'Lumen plain window' >/dev/null || true   # warm up
for round in $(seq "$rounds"); do
  if [ $((round % 2)) = 1 ]; then
    measure plain shown "$(win "$build/bin/plain_window.exe")" 'Lumen plain window'
    measure wizard shown "$setup" "$title"
  else
    measure wizard shown "$setup" "$title"
    measure plain shown "$(win "$build/bin/plain_window.exe")" 'Lumen plain window'
  fi
  forget
  if [ $((round % 2)) = 1 ]; then
    measure silent run "$setup" -s; forget
    measure install install "$setup" "$title"; forget
  else
    measure install install "$setup" "$title"; forget
    measure silent run "$setup" -s; forget
  fi
done
plain=$(median <"$work/plain.ms"); wizard=$(median <"$work/wizard.ms")
silent=$(median <"$work/silent.ms"); install=$(median <"$work/install.ms")
echo "wizard benchmark, $rounds rounds, $(/usr/lib/wine/wine64 --version 2>/dev/null || echo wine), demo suite"
awk -v p="$plain" -v w="$wizard" 'BEGIN { printf "start to the wizard shown: %.0f ms; a plain window: %.0f ms; %+.0f ms, ratio %.2f\n", w, p, w - p, w / p }'
awk -v s="$silent" -v i="$install" 'BEGIN { printf "Enter to the end (preloaded): %.0f ms; silent install: %.0f ms; ratio %.2f\n", i, s, i / s }'
