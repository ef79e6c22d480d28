#!/usr/bin/env bash
# Creates (if missing) and prepares the throw-away Wine prefix of the tests, and leaves a
# persistent wineserver running for it (a program run then takes ~0.1 s instead of ~2 s).
#   prepare.sh [prefix-dir]     default: LUMEN_WINEPREFIX, else <repo>/build/x64/wineprefix
# Idempotent: once prepared (stamp file in the prefix) it only makes sure the server runs.
# Pending file renames queued for the next restart are carried out whenever a new wineserver
# starts; the tests rely on that.
set -euo pipefail
# shellcheck source=env.sh
. "$(dirname "${BASH_SOURCE[0]}")/env.sh" "${1:-}"

mkdir -p "$(dirname "$WINEPREFIX")" "$LUMEN_LOCPATH"
# One preparation at a time. Every Wine command below gets 9>&- so that the lingering
# wineserver and Wine services do not inherit (and hold) the lock.
exec 9>"$WINEPREFIX.lock"
flock 9

if ! prepared; then
  log=$(mktemp /tmp/lumen-wine-prepare.XXXXXX)
  trap 'rm -f "$log"' EXIT
  fail() { cat "$log" >&2; echo "prepare.sh: $*" >&2; exit 1; }
  # A prefix prepared for another Wine (or before its 32-bit half was installed) is made anew:
  # updating it in place leaves it unable to start 32-bit programs.
  if [ -f "$LUMEN_STAMP" ]; then
    kill_server 9>&-
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    stat_ids
  fi

  # In the background meanwhile: the Chinese locales for Wine, compiled into a private folder
  # (run.sh sets LOCPATH to it): zh_CN for the default simplified-Chinese system, zh_TW for a
  # traditional-Chinese one; and the desktop keeper (see env.sh), if there is a compiler.
  (
    for loc in zh_CN zh_TW; do
      [ -d "$LUMEN_LOCPATH/$loc.UTF-8" ] && continue
      tmp=$(mktemp -d "$LUMEN_LOCPATH/.new.XXXXXX")
      localedef -i "$loc" -f UTF-8 "$tmp/$loc.UTF-8" || [ $? = 1 ]     # 1: warnings only
      mv -T "$tmp/$loc.UTF-8" "$LUMEN_LOCPATH/$loc.UTF-8" 2>/dev/null || true  # lost a race
      rm -rf "$tmp"
    done
    mkdir -p "$WINEPREFIX"
    if command -v x86_64-w64-mingw32-gcc >/dev/null; then
      x86_64-w64-mingw32-gcc -Os -s -municode -mwindows -o "$LUMEN_KEEPER" "$harness_dir/keeper.c"
    fi
  ) >>"$log" 2>&1 9>&- &
  builds=$!

  # New prefix, or update after a Wine upgrade, on a server of its own, with our settings
  # in place before any window gets made. Waiting for that server to end lets Wine's setup
  # finish in the background and writes the registry to disk.
  # Overrides: no Mono/Gecko install prompts, no menu entries or file associations written
  # into the real home folder.
  # Graphics x11,null: windows can be made without a display (null driver), and on a real
  #   X display (DISPLAY set, e.g. Xvfb from xvfb.sh) they show up for screenshots.
  # Managed=N: Wine draws title bars itself, since Xvfb has no window manager.
  # No crash debugger: a crashing program exits with the exception code (0xC0000005 gives
  #   5); winedbg printed a backtrace but then let the exit code be 0 about every other time.
  #   ShowCrashDialog=0 in case a debugger gets set: no dialog waiting for a click.
  # winemenubuilder disabled: shortcuts the setup program makes stay inside the prefix.
  # .txt is a text document that Notepad opens, as on Windows (Wine's setup gives the
  #   extension no file type): the wizard's licence link opens a text file.
  # Font replacements: Chinese text stays readable even under the English locale (C.UTF-8);
  #   under zh_CN/zh_TW Wine finds WenQuanYi Micro Hei by itself.
  kill_server 9>&-
  boot=(env WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" "$WINE64")
  if ! "${boot[@]}" wineboot -i >>"$log" 2>&1 9>&- || [ ! -d "$WINEPREFIX/drive_c/windows" ]; then
    fail "wineboot failed for $WINEPREFIX"
  fi
  reg=$WINEPREFIX/lumen-harness.reg
  {
    printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Wine\\Drivers]\n"Graphics"="x11,null"\n'
    printf '\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\n"Managed"="N"\n'
    printf '\n[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]\n"ShowCrashDialog"=dword:00000000\n'
    printf '\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug]\n'
    printf '"Debugger"=""\n'
    printf '\n[HKEY_CURRENT_USER\\Software\\Wine\\DllOverrides]\n"winemenubuilder.exe"=""\n'
    printf '\n[HKEY_CLASSES_ROOT\\.txt]\n@="txtfile"\n'
    printf '\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\n'
    for face in "MS Shell Dlg" "MS Shell Dlg 2" "Tahoma" "Segoe UI" "SimSun" "NSimSun" \
                "Microsoft YaHei" "PMingLiU" "MingLiU" "Microsoft JhengHei"; do
      printf '"%s"="WenQuanYi Micro Hei"\n' "$face"
    done
  } >"$reg"
  # (Once in a while reg meets the server of wineboot just as it exits, and fails: retry.)
  for try in 1 2 3; do
    "${boot[@]}" reg import "$reg" >>"$log" 2>&1 9>&- && break
    [ "$try" != 3 ] || fail "reg import failed"
    sleep 1
  done
  rm -f "$reg"
  "$WINESERVER_BIN" -w

  # The new prefix links Desktop, Documents, Downloads, Music, ... to the real home folder:
  # make them plain empty folders (Wine leaves existing folders alone on later updates).
  find "$WINEPREFIX/drive_c/users" -type l -print0 | while IFS= read -r -d '' link; do
    rm -f "$link" && mkdir "$link"
  done

  wait "$builds" || fail "localedef or the desktop keeper build failed"
  printf '%s\n' "${DISPLAY:-}" >"$WINEPREFIX/.lumen-display"   # see run.sh
  printf '%s\n' "$LUMEN_STAMP_TEXT" >"$LUMEN_STAMP"
fi

ensure_server 9>&-
