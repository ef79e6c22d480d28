# shellcheck shell=bash
# Shared settings of the Wine test harness; sourced by prepare.sh, run.sh and stop.sh.
# Prefix:  $1 of the caller if given, else LUMEN_WINEPREFIX, else <repo>/build/x64/wineprefix.
# Locales: LUMEN_LOCPATH, else a "wine-locale" folder beside the prefix (survives a new prefix).
# run.sh sources this for every test program, so it sticks to shell builtins where it can.

harness_dir=${BASH_SOURCE[0]%/*}
[ "$harness_dir" != "${BASH_SOURCE[0]}" ] || harness_dir=.
[[ $harness_dir == /* ]] || harness_dir=$PWD/$harness_dir
WINEPREFIX=${1:-${LUMEN_WINEPREFIX:-$harness_dir/../../build/x64/wineprefix}}
[[ $WINEPREFIX == /* ]] || WINEPREFIX=$PWD/$WINEPREFIX
WINEPREFIX=${WINEPREFIX%/}
export WINEPREFIX
LUMEN_LOCPATH=${LUMEN_LOCPATH:-${WINEPREFIX%/*}/wine-locale}
[[ $LUMEN_LOCPATH == /* ]] || LUMEN_LOCPATH=$PWD/$LUMEN_LOCPATH

# Debian keeps the 64-bit loader and the real server outside PATH (/usr/bin/wine is a wrapper
# script, and /usr/lib/wine/wineserver adds -p0). Elsewhere take them from PATH.
WINE64=/usr/lib/wine/wine64
[ -x "$WINE64" ] || WINE64=$(command -v wine64 || command -v wine)
WINESERVER_BIN=/usr/lib/wine/wineserver64
[ -x "$WINESERVER_BIN" ] || WINESERVER_BIN=$(command -v wineserver)

# One stat for both: the loader's mtime (changes with each Wine build) and the prefix's
# device and inode (they name the server's folder; 0 while there is no prefix yet).
stat_ids() {
  local _
  wine_mtime=0 prefix_dev=0 prefix_ino=0
  { read -r wine_mtime _ _ && read -r _ prefix_dev prefix_ino; } \
    < <(stat -L -c '%Y %d %i' "$WINE64" "$WINEPREFIX" 2>/dev/null) || true
  wine_mtime=${wine_mtime:-0} prefix_dev=${prefix_dev:-0} prefix_ino=${prefix_ino:-0}
}
stat_ids

# Written last by prepare.sh; a new Wine build, Wine's 32-bit half arriving (a prefix made
# without it cannot run 32-bit programs) or a new harness version makes it stale, and the next
# run makes the prefix anew. Bump the number whenever prepare.sh or keeper.c changes what a
# prepared prefix holds.
wine32=none
[ -x /usr/lib/wine/wine ] && wine32=$(stat -L -c %Y /usr/lib/wine/wine 2>/dev/null || echo none)
LUMEN_STAMP=$WINEPREFIX/.lumen-prepared
LUMEN_STAMP_TEXT="harness 4, wine $wine_mtime, wine32 $wine32"

# True while a wineserver listens for this prefix. Debian's Wine names its server folder in
# $WINEPREFIX/wineserver; upstream Wine uses /tmp/.wine-<uid>.
server_running() {
  local base=.wine-$UID dir
  if [ -f "$WINEPREFIX/wineserver" ]; then read -r base <"$WINEPREFIX/wineserver" || true; fi
  [ "$prefix_ino" != 0 ] || stat_ids
  [ "$prefix_ino" != 0 ] || return 1
  printf -v dir '/tmp/%s/server-%x-%x' "$base" "$prefix_dev" "$prefix_ino"
  [ -S "$dir/socket" ]
}

# True when prepare.sh has finished for this prefix, this Wine and this harness version.
prepared() {
  local s=
  { read -r s <"$LUMEN_STAMP"; } 2>/dev/null || return 1
  [ "$s" = "$LUMEN_STAMP_TEXT" ] && [ -d "$LUMEN_LOCPATH/zh_CN.UTF-8" ] && [ -d "$LUMEN_LOCPATH/zh_TW.UTF-8" ]
}

# Unix locale for Wine programs: zh_CN.UTF-8 (default), zh_TW.UTF-8 or C.UTF-8. It is only
# passed to Wine (through env), since this shell cannot load it without LOCPATH.
lumen_lang=${LUMEN_WINE_LANG:-zh_CN.UTF-8}
wine_env=(env LOCPATH="$LUMEN_LOCPATH" LANG="$lumen_lang" LC_ALL="$lumen_lang" LANGUAGE=)

# Makes sure the persistent wineserver runs, with the desktop keeper (keeper.c) in it. The
# first program of a new server starts Wine's background services, the keeper starts the
# desktop process; both get /dev/null as output, since one holding a test's output open would
# make ctest wait for it. Without a keeper (no compiler at preparation) a no-op program boots.
LUMEN_KEEPER=$WINEPREFIX/lumen-keeper.exe
LUMEN_KEEPER_READY=$WINEPREFIX/.lumen-keeper-ready
server_ready() {
  server_running && { [ -e "$LUMEN_KEEPER_READY" ] || [ ! -f "$LUMEN_KEEPER" ]; }
}
ensure_server() {      # prepare.sh calls it, holding the preparation lock
  if ! server_running; then
    rm -f "$LUMEN_KEEPER_READY"
    "$WINESERVER_BIN" -p </dev/null >/dev/null 2>&1 || true   # exit 2: already running
  elif [ -e "$LUMEN_KEEPER_READY" ] || [ ! -f "$LUMEN_KEEPER" ]; then
    return 0
  fi
  if [ ! -f "$LUMEN_KEEPER" ]; then
    WINEDEBUG=-all "${wine_env[@]}" "$WINE64" cmd /c exit </dev/null >/dev/null 2>&1 || true
    return 0
  fi
  WINEDEBUG=-all setsid "${wine_env[@]}" "$WINE64" "$LUMEN_KEEPER" "Z:$LUMEN_KEEPER_READY" \
    </dev/null >/dev/null 2>&1 &
  for _ in $(seq 300); do [ -e "$LUMEN_KEEPER_READY" ] && return 0; sleep 0.05; done
  echo "wine harness: the desktop keeper did not start within 15 s; going on without" >&2
  : >"$LUMEN_KEEPER_READY"        # no second try until the server starts again
}

# Ends the wineserver of the prefix and every Windows program in it; the registry is saved.
kill_server() {
  "$WINESERVER_BIN" -k 2>/dev/null || true                    # exit 1: none was running
  rm -f "$LUMEN_KEEPER_READY"
}
