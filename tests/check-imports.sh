#!/usr/bin/env bash
# Usage: check-imports.sh <objdump> <program.exe>
# Fails when the program imports a DLL that a bare Windows does not ship
# (e.g. the MinGW runtime: libstdc++, libgcc, libwinpthread).
set -euo pipefail
objdump=${1:-x86_64-w64-mingw32-objdump}
exe=$2
command -v "$objdump" >/dev/null || objdump=x86_64-w64-mingw32-objdump

system='kernel32|user32|gdi32|msimg32|comctl32|comdlg32|advapi32|shell32|shlwapi|ole32|oleaut32|uxtheme|dwmapi|imm32|version|winmm|ws2_32'
allowed="^(($system)\\.dll|winspool\\.drv|(msvcrt|ucrtbase|api-ms-win-crt-[a-z0-9-]+)\\.dll)\$"

dlls=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
if [[ -z $dlls ]]; then
  echo "no imports found in $exe: is it a Windows program?" >&2
  exit 1
fi
echo "$exe imports:" $dlls
bad=$(grep -Ev "$allowed" <<<"$dlls" || true)
if [[ -n $bad ]]; then
  echo "not shipped with Windows:" $bad >&2
  exit 1
fi
