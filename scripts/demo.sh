#!/usr/bin/env bash
# The main job on the demo suite (`make demo`): packs the demo suite behind the built setup
# program, installs it silently under Wine in a fresh throw-away prefix, as a user would start it
# from the downloads folder, and shows what the installation did: exit code and time, the
# installed files, the registry values, the profile files the installer wrote, the suite
# programs it started (the demo suite's journal) and the end of its log.
#   scripts/demo.sh <build folder>      (make demo; default build/x64)
set -euo pipefail
build=$(realpath "${1:-build/x64}")
repo=$(cd "$(dirname "$0")/.." && pwd)
wine=$repo/tests/wine
export LUMEN_WINEPREFIX=$build/demo-prefix
payload=$build/demo-payload
run_output=$build/demo-setup-output.txt

section() { printf '\n== %s\n' "$*"; }
none_if_empty() { local text; text=$(cat); if [ -n "$text" ]; then printf '%s\n' "$text"; else echo "(none)"; fi; }
# Text files as the programs wrote them (UTF-16 with BOM, UTF-8, or the Chinese ANSI code page),
# shown as UTF-8 without carriage returns.
show_text() {
  if [ "$(head -c 2 "$1" | od -An -tx1 | tr -d ' ')" = fffe ]; then
    iconv -f UTF-16 -t UTF-8 "$1"
  elif iconv -f UTF-8 -t UTF-8 "$1" >/dev/null 2>&1; then
    cat "$1"
  else
    iconv -f GB18030 -t UTF-8 -c "$1"
  fi | tr -d '\r'
}
# A folder as an indented tree of relative names (folders end in "/"), file sizes in bytes.
# Sorted with "/" below every other character, so a folder's content follows the folder.
show_tree() {
  (cd "$1" && find . -mindepth 1 -printf '%P\t%y\t%s\n') |
    awk -F'\t' '{ key = $1; gsub("/", "\001", key); print key "\t" $0 }' | LC_ALL=C sort -f -t$'\t' -k1,1 |
    cut -f2- | awk -F'\t' '{
      path = $1; depth = gsub("/", "/", path); name = path; sub(".*/", "", name)
      indent = sprintf("%" (2 * depth + 2) "s", "")
      if ($2 == "d") print indent name "/"
      else printf("%s%-" (44 - 2 * depth) "s %9d\n", indent, name, $3)
    }'
}
# This prefix's programs still running, Wine's own left out: "<pid> <command line>" a line.
# (Wine shows a Windows program by its Windows path; an ended one, [name] <defunct>, has no
# environment left and drops out.)
prefix_programs() {
  local pid command
  while read -r pid command; do
    case $command in *wineserver* | *lumen-keeper* | [A-Za-z]:\\[Ww][Ii][Nn][Dd][Oo][Ww][Ss]\\*) continue ;; esac
    grep -qxzF "WINEPREFIX=$LUMEN_WINEPREFIX" "/proc/$pid/environ" 2>/dev/null || continue
    printf '%s %s\n' "$pid" "$command"
  done < <(ps -eo pid=,args=)
}
windows_path() { local rel=${1#"$LUMEN_WINEPREFIX/drive_c/"}; printf 'C:\\%s' "${rel//\//\\}"; }

section "building the demo installer (scripts/make_demo_payload.sh)"
bash "$repo/scripts/make_demo_payload.sh" "$repo/build/native/lumenpack" "$build/bin/setup.exe" \
  "$build/bin/standin.exe" "$build/bin/lmo.dll" "$payload"
"$repo/build/native/lumenpack" --verify "$payload/setup-demo.exe" | sed 's/^/  /'
rm -rf "$build/demo-data"    # what earlier versions of this script left

section "a fresh Wine prefix: ${LUMEN_WINEPREFIX#"$repo/"}"
"$wine/stop.sh" "$LUMEN_WINEPREFIX"
rm -rf "$LUMEN_WINEPREFIX"
start=$(date +%s)
"$wine/prepare.sh" "$LUMEN_WINEPREFIX" >/dev/null
echo "prepared in $(( $(date +%s) - start )) s"
drive_c=$LUMEN_WINEPREFIX/drive_c
user_home=$(find "$drive_c/users" -mindepth 1 -maxdepth 1 -type d ! -name Public | LC_ALL=C sort | head -n 1)
downloads=$drive_c/users/Public/Downloads
mkdir -p "$downloads"
cp "$payload/setup-demo.exe" "$downloads/setup.exe"
mkdir -p "$drive_c/LumenDemo"
export LUMEN_DEMO_JOURNAL='C:\LumenDemo\journal.txt'
journal=$drive_c/LumenDemo/journal.txt
log=$user_home/AppData/Roaming/tallis/office6/log/setup/lumensetup.log

section "setup.exe -s under Wine (started in C:\\users\\Public\\Downloads)"
start=$(date +%s%N)
set +e
(cd "$downloads" && timeout 600 "$wine/run.sh" 'C:\users\Public\Downloads\setup.exe' -s) >"$run_output" 2>&1
code=$?
set -e
ms=$(( ($(date +%s%N) - start) / 1000000 ))
# Programs the installer started without waiting (the desktop tip, ...) may still be on their
# way to the journal: give them up to 10 s.
for _ in $(seq 100); do [ -n "$(prefix_programs)" ] || break; sleep 0.1; done
case $code in
  0) meaning="installed" ;;
  1) meaning="the user left the wizard" ;;
  2) meaning="failure" ;;
  3) meaning="another setup program is running" ;;
  4) meaning="cancelled while a Lumen Office program was running" ;;
  5) meaning="administrator rights missing" ;;
  6) meaning="traditional-Chinese system" ;;
  7) meaning="unreadable command line" ;;
  124) meaning="still running after 600 s, stopped" ;;
  *) meaning="see the README's exit codes" ;;
esac
echo "exit code: $code ($meaning)   time: $ms ms"
echo "program output (${run_output#"$repo/"}):"
tr -d '\r' <"$run_output" | tail -n 10 | sed 's/^/  /' | none_if_empty

section "installed files (%LOCALAPPDATA%\\Tallis\\Lumen Office\\<version>\\)"
product_root="$user_home/AppData/Local/Tallis/Lumen Office"
install_dirs=()
if [ -d "$product_root" ]; then
  while IFS= read -r dir; do install_dirs+=("$dir"); done \
    < <(find "$product_root" -mindepth 1 -maxdepth 1 -type d | LC_ALL=C sort)
fi
if [ ${#install_dirs[@]} -eq 0 ]; then
  echo "(none)"
fi
for dir in "${install_dirs[@]}"; do
  echo "${dir#"$drive_c/"}/"
  show_tree "$dir" | none_if_empty
done

section "registry"
for key in 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tallis Office' \
           'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tallis Office' \
           'HKCU\Software\Tallis\Office\6.0\Common'; do
  echo "$key"
  values=$("$wine/run.sh" reg query "$key" 2>/dev/null) || values=
  printf '%s\n' "$values" | tr -d '\r' | sed -e '/^$/d' -e '/^HKEY_/d' -e 's/^ */  /' | none_if_empty
done

section "shortcuts (the user's start menu and desktop)"
links=$(cd "$drive_c" && find "${user_home#"$drive_c/"}/AppData/Roaming/Microsoft/Windows/Start Menu/Programs" \
         "${user_home#"$drive_c/"}/Desktop" -name '*.lnk' 2>/dev/null | LC_ALL=C sort) || true
printf '%s\n' "$links" | sed -e '/^$/d' -e 's/^/  /' | none_if_empty

for file in 'utility\install.ini' 'office6\cfgs\setup.cfg'; do
  section "$file"
  found=0
  for dir in "${install_dirs[@]}"; do
    path="$dir/${file//\\//}"
    [ -f "$path" ] || continue
    found=1
    [ ${#install_dirs[@]} -eq 1 ] || echo "(${dir##*/})"
    show_text "$path" | sed 's/^/  /'
  done
  [ $found = 1 ] || echo "(none)"
done

section "suite programs started, in order (journal $LUMEN_DEMO_JOURNAL)"
# A program started with an environment of its own (not the installer's) misses
# LUMEN_DEMO_JOURNAL and writes to the stand-ins' default journal: both are shown, by time.
default_journal=$drive_c/ProgramData/LumenDemo/journal.txt
lines=$(cat "$journal" "$default_journal" 2>/dev/null | LC_ALL=C sort -s -n -k1,1 || true)
if [ -n "$lines" ]; then
  # Paths below the install folder are shown relative to it; times from the first start.
  prefix=
  [ ${#install_dirs[@]} -eq 0 ] || prefix="$(windows_path "${install_dirs[0]}")\\"
  # (The prefix goes through the environment: awk -v would take its backslashes as escapes.)
  printf '%s\n' "$lines" | JOURNAL_PREFIX=$prefix awk -F'\t' '
    BEGIN { prefix = ENVIRON["JOURNAL_PREFIX"] }
    NR == 1 { first = $1 }
    {
      path = $2
      if (prefix != "" && tolower(substr(path, 1, length(prefix))) == tolower(prefix))
        path = substr(path, length(prefix) + 1)
      args = $0; sub(/^[^\t]*\t[^\t]*\t/, "", args)
      printf "  +%6d ms  %-28s %s\n", $1 - first, path, args
    }'
  if [ -s "$default_journal" ]; then
    echo "note: $(wc -l <"$default_journal") of these lines are from the default journal" \
         "C:\\ProgramData\\LumenDemo\\journal.txt (started without LUMEN_DEMO_JOURNAL)"
  fi
else
  echo "(none)"
fi

section "the log: ${log#"$LUMEN_WINEPREFIX/"}"
if [ -f "$log" ]; then
  echo "(last 25 lines)"
  show_text "$log" | tail -n 25
else
  echo "(none)"
fi

section "processes left behind"
prefix_programs | sed 's/^/  /' | none_if_empty
"$wine/stop.sh" "$LUMEN_WINEPREFIX"
echo
echo "demo done: the prefix stays in ${LUMEN_WINEPREFIX#"$repo/"} (its registry in user.reg and system.reg)"
