#!/usr/bin/env bash
# The program's floors: each folder of the source tree may include its own headers and those of
# the folders below it, nothing above. Run by the build (a wrong-way include or a loop between
# files fails it) and usable by hand:
#   check_floors.sh <source root>
# Tests may also include tests/support/. Loops are looked for between files, a header and its
# source counting as one.
set -euo pipefail
cd "$1"

declare -A below=(
  [base]=""
  [log]="base"
  [sys]="log base"
  [packet]="sys log base"
  [suite]="sys log base"
  [cleanup]="suite sys log base"
  [report]="suite sys log base"
  [install]="cleanup report suite packet sys log base"
  [skin]="sys log base"
  [dialogs]="skin sys log base"
  [app]="install cleanup report suite packet dialogs skin sys log base"
)

status=0
edges=$(mktemp)
trap 'rm -f "$edges"' EXIT
for floor in "${!below[@]}"; do
  for file in "$floor"/*.h "$floor"/*.cpp; do
    [ -e "$file" ] || continue
    test=0
    [[ $file == *_test.cpp ]] && test=1
    while read -r header; do
      to=${header%%/*}
      [ "$to" = tests ] && [ $test = 1 ] && continue
      if [ "$to" != "$floor" ] && [[ " ${below[$floor]} " != *" $to "* ]]; then
        echo "$file: #include \"$header\": $floor/ may include ${below[$floor]:-no other folder} and itself" >&2
        status=1
      fi
      [ $test = 0 ] && echo "${file%.*} ${header%.h}" >>"$edges"
    done < <(sed -n 's/^#include "\([a-z0-9_]*\/[^"]*\.h\)".*/\1/p' "$file")
  done
done
if ! tsort "$edges" >/dev/null 2>"$edges.loop"; then
  echo "include loop between files:" >&2
  grep -v '^tsort: .*input contains a loop' "$edges.loop" | sed 's/^tsort: /  /' >&2
  status=1
fi
rm -f "$edges.loop"
exit $status
