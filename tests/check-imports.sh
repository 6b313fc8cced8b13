#!/usr/bin/env bash
# Usage: check-imports.sh <objdump> <program.exe>
# Fails when the program imports a DLL outside this list, naming it. Each is a KnownDLL, which
# Windows loads from System32 whatever lies beside the program, except comctl32, which the
# program's manifest redirects to the side-by-side Common Controls 6. Any other import would
# be looked for in the program's folder first (a Downloads folder), and the MinGW runtime
# (libstdc++, libgcc, libwinpthread) is not on a bare Windows at all.
set -euo pipefail
objdump=${1:-x86_64-w64-mingw32-objdump}
exe=$2
command -v "$objdump" >/dev/null || objdump=x86_64-w64-mingw32-objdump

allowed='^(kernel32|user32|gdi32|advapi32|msvcrt|comctl32)\.dll$'

dlls=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
if [[ -z $dlls ]]; then
  echo "no imports found in $exe: is it a Windows program?" >&2
  exit 1
fi
echo "$exe imports:" $dlls
bad=$(grep -Ev "$allowed" <<<"$dlls" || true)
if [[ -n $bad ]]; then
  echo "$exe imports a DLL that Windows may take from the program's folder or does not ship:" $bad >&2
  exit 1
fi
