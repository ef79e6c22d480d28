#!/usr/bin/env bash
# The installing copy writes its log below the roaming folder that the hand-over file names, a
# file the desktop user can write. A link the user plants on the way (a folder of the path, or
# the log file itself) must not be followed: nothing is made or written where it points, and the
# log goes to the temporary folder's "lumen" folder, saying why. The links are made in the
# prefix from outside: a Unix link to a folder, which Wine shows as a reparse point (its
# CreateSymbolicLink makes none), and a hard link for the file (Wine shows a Unix link to a file
# as the file itself; on Windows the program refuses a symbolic link there as a reparse point).
#   log_links_test.sh <x64 build folder>     (LUMEN_TEST_ARCH=x86: the 32-bit program)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$(cd "$1" && pwd)
export LUMEN_WINEPREFIX=${LUMEN_WINEPREFIX:-$build/wineprefix}
run() { "$root/tests/wine/run.sh" "$@"; }
failures=0
check() {
  if [ "$2" = "$3" ]; then echo "ok   $1"; else echo "FAIL $1: '$2', not '$3'"; failures=$((failures + 1)); fi
}
user=$LUMEN_WINEPREFIX/drive_c/users/$(whoami)
office6=$user/AppData/Roaming/tallis/office6
fallback=$user/Temp/lumen/lumensetup.log
decoy=$LUMEN_WINEPREFIX/drive_c/lumen-decoy
work=$build/log-links${LUMEN_TEST_ARCH:+-$LUMEN_TEST_ARCH}
rm -rf "$work" "$decoy" && mkdir -p "$work" "$decoy"
cp "$build/demodata${LUMEN_TEST_ARCH:+-$LUMEN_TEST_ARCH}/setup-demo.exe" "$work/setup.exe"
forget() {
  local key
  for key in 'HKCU\Software\Tallis' 'HKCU\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Tallis Office'; do
    run reg delete "$key" /f >/dev/null 2>&1 || true
  done
  rm -rf "$user/AppData/Local/Tallis" "$fallback"
}
cleanup() { rm -rf "$office6/log" "$decoy"; forget; }
trap cleanup EXIT
install() { rc=0; (cd "$work" && run "$work/setup.exe" -s >/dev/null 2>&1) || rc=$?; }
said() { grep -a -c -F "$1" "$fallback" 2>/dev/null || true; }

# 1. A folder of the log's path is a link to elsewhere.
forget
rm -rf "$office6/log" && mkdir -p "$office6" && ln -s "$decoy" "$office6/log"
install
check "installed with a link on the way to the log" "$rc" 0
check "... nothing made where the link points" "$(ls -A "$decoy")" ""
check "... the log in the temporary folder says why" \
  "$(said 'the log is not written below C:\users\'"$(whoami)"'\AppData\Roaming\tallis\office6\log\setup\: a link') $(said 'setup end: succeeded')" "1 1"

# 2. The log file itself is a second name of a file elsewhere.
forget
rm -f "$office6/log" && mkdir -p "$office6/log/setup"
printf 'keep' >"$decoy/victim.txt"
ln "$decoy/victim.txt" "$office6/log/setup/lumensetup.log"
install
check "installed with a link in place of the log file" "$rc" 0
check "... the file it points to is untouched" "$(cat "$decoy/victim.txt")" keep
check "... the log in the temporary folder" "$(said 'setup end: succeeded')" 1
exit $((failures > 0))
