#!/usr/bin/env bash
# Virtual X display for the GUI tests (screenshots of the setup program's windows).
#   xvfb.sh start [WxHxD]   start an Xvfb on a free display, print its DISPLAY value (":N")
#   xvfb.sh stop :N         end the Xvfb of that display (only if it is an Xvfb)
# Example:  export DISPLAY=$(tests/wine/xvfb.sh start); ...; tests/wine/xvfb.sh stop "$DISPLAY"
# Xvfb itself picks the free display number (-displayfd), so two starts never collide.
set -euo pipefail

cmd=${1:-}
case "$cmd" in
start)
  screen=${2:-1024x768x24}
  out=$(mktemp /tmp/lumen-xvfb.XXXXXX)
  trap 'rm -f "$out"' EXIT
  # setsid + no inherited stdout: $(xvfb.sh start) returns at once and the server outlives us.
  setsid Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -dpi 96 \
    3>"$out" </dev/null >/dev/null 2>&1 &
  pid=$!
  for _ in $(seq 100); do                      # up to 10 s
    n=$(tr -dc 0-9 <"$out")
    if [ -n "$n" ]; then echo "$pid" >"/tmp/lumen-xvfb-$n.pid"; echo ":$n"; exit 0; fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill "$pid" 2>/dev/null || true
  echo "xvfb.sh: Xvfb did not start" >&2
  exit 1
  ;;
stop)
  n=${2:?usage: xvfb.sh stop :N}
  n=${n#:}; n=${n%%.*}
  pidfile=/tmp/lumen-xvfb-$n.pid                # written by start (-displayfd makes no lock file)
  [ -f "$pidfile" ] || exit 0                   # not ours, or already stopped
  pid=$(tr -dc 0-9 <"$pidfile")
  rm -f "$pidfile"
  if [ -n "$pid" ] && [ "$(cat /proc/"$pid"/comm 2>/dev/null)" = Xvfb ]; then
    kill "$pid"
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || exit 0; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
  fi
  ;;
*)
  echo "usage: xvfb.sh start [WxHxD] | xvfb.sh stop :N" >&2
  exit 2
  ;;
esac
