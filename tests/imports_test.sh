#!/usr/bin/env bash
# The shipped setup program as the release carries it.
# - It is started from a downloads folder, where any file may lie beside it: its import table
#   may name only libraries Windows always takes from the system (known DLLs, and comctl32
#   through the manifest's side-by-side assembly); everything else is delay-imported and loaded
#   from the system folder (cmake/delay_load.cmake, app/main.cpp).
# - The 32-bit program runs on Windows XP: it imports no function that XP lacks (newer calls
#   are looked up at run time).
# - It carries no symbols (they are kept beside it in setup.dbg) and, without its payload, is at
#   most <max-bytes> large.
#   imports_test.sh <objdump> <setup.exe> [max-bytes]
set -euo pipefail
objdump=$1 exe=$2 max=${3:-}
allowed="advapi32.dll comctl32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll oleaut32.dll psapi.dll shell32.dll user32.dll"
dump=$("$objdump" -p "$exe")
imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump" | tr 'A-Z' 'a-z' | sort -u)
status=0
for dll in $imports; do
  case " $allowed " in *" $dll "*) ;; *) echo "not allowed as a static import: $dll"; status=1 ;; esac
done
delayed=$(strings -a "$exe" | grep -ixE 'gdiplus\.dll|version\.dll' | sort -u | wc -l)
[ "$delayed" -eq 2 ] || { echo "gdiplus.dll and version.dll should be named as delayed imports"; status=1; }

if "$objdump" -f "$exe" | grep -q 'pei-i386'; then
  # Functions of Windows Vista and later that the program must not import statically.
  newer='GetTickCount64|QueryFullProcessImageName[AW]|K32[A-Za-z]+|SetDefaultDllDirectories|AddDllDirectory|'
  newer+='InitializeSRWLock|(Acquire|Release|TryAcquire)SRWLock[A-Za-z]+|InitOnce[A-Za-z]+|'
  newer+='InitializeConditionVariable|SleepConditionVariable[A-Za-z]+|GetFinalPathNameByHandle[AW]|'
  newer+='CreateSymbolicLink[AW]|GetDllDirectory[AW]|SetDllDirectory[AW]|Wow64DisableWow64FsRedirection|'
  newer+='Wow64RevertWow64FsRedirection|CancelIoEx|GetErrorMode'
  found=$(grep -oE "^[[:space:]]+[0-9a-f]+[[:space:]]+[0-9]+[[:space:]]+($newer)\$" <<<"$dump" | awk '{print $3}' | sort -u || true)
  [ -z "$found" ] || { echo "imports Windows XP lacks: $found"; status=1; }
fi
if "$objdump" -h "$exe" | grep -qE '\.debug_|\.stab'; then echo "carries debug information"; status=1; fi
if [ -n "$max" ]; then
  size=$(stat -c %s "$exe")
  [ "$size" -le "$max" ] || { echo "$size bytes, more than $max"; status=1; }
  echo "size: $size bytes"
fi
[ $status -eq 0 ] && echo "imports: $(echo $imports | tr '\n' ' ')"
exit $status
