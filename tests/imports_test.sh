#!/usr/bin/env bash
# The setup program is started from a downloads folder, where any file may lie beside it. Its
# import table may name only libraries Windows always takes from the system (known DLLs, and
# comctl32 through the manifest's side-by-side assembly); everything else is delay-imported
# and loaded from the system folder (cmake/delay_load.cmake, app/main.cpp).
#   imports_test.sh <objdump> <setup.exe>
set -euo pipefail
allowed="advapi32.dll comctl32.dll kernel32.dll msvcrt.dll ole32.dll oleaut32.dll psapi.dll shell32.dll user32.dll"
imports=$("$1" -p "$2" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
status=0
for dll in $imports; do
  case " $allowed " in *" $dll "*) ;; *) echo "not allowed as a static import: $dll"; status=1 ;; esac
done
delayed=$(strings -a "$2" | grep -ixE 'gdiplus\.dll|version\.dll' | sort -u | wc -l)
[ "$delayed" -eq 2 ] || { echo "gdiplus.dll and version.dll should be named as delayed imports"; status=1; }
[ $status -eq 0 ] && echo "imports: $(echo $imports | tr '\n' ' ')"
exit $status
