#!/usr/bin/env bash
# Usage: check-load-config.sh <objdump> <program.exe>
# Fails unless the program's load configuration, as the loader finds it through the PE's data
# directory, asks for its imports to be resolved from System32 only: DependentLoadFlags =
# LOAD_LIBRARY_SEARCH_SYSTEM32 (0x800). Also checks what Windows requires of the directory: its
# size equals the table's own Size field, and is 64 bytes for a 32-bit program (so that the table
# ends before the SafeSEH fields, and Windows XP accepts it). Read with objdump, not with the build's
# own tool (scripts/set-load-config.py).
set -euo pipefail
objdump=${1:-x86_64-w64-mingw32-objdump}
exe=$2
command -v "$objdump" >/dev/null || objdump=x86_64-w64-mingw32-objdump

headers=$("$objdump" -p "$exe")
magic=$(sed -n 's/^Magic[[:space:]]*\([0-9a-f]*\).*/\1/p' <<<"$headers")
base=$(sed -n 's/^ImageBase[[:space:]]*\([0-9a-f]*\).*/\1/p' <<<"$headers")
read -r rva size < <(sed -n 's/^Entry a \([0-9a-f]*\) \([0-9a-f]*\) Load Configuration Directory.*/\1 \2/p' <<<"$headers")
case $magic in
  010b) flags_at=$((0x36)) ;;
  020b) flags_at=$((0x4e)) ;;
  *) echo "$exe: not a PE32 or PE32+ program" >&2; exit 1 ;;
esac
if ((0x$rva == 0 || 0x$size == 0)); then
  echo "$exe has no load configuration (data directory 10 is empty)" >&2
  exit 1
fi

# The table's bytes, in file order, as two hex digits each.
start=$((0x$base + 0x$rva))
hex=$("$objdump" -s --start-address=$start --stop-address=$((start + 0x$size)) "$exe" |
      sed -n 's/^ [0-9a-f]\{1,\} \(\([0-9a-f]\{2,8\} \)\{1,4\}\) .*/\1/p' | tr -d ' \n')
word() {  # <offset> <bytes>: the little-endian number there
  local value=0 i
  for ((i = $2 - 1; i >= 0; i--)); do value=$((value * 256 + 0x${hex:2 * ($1 + i):2})); done
  echo $value
}
if ((${#hex} != 2 * 0x$size)); then
  echo "$exe: the load configuration at RVA 0x$rva is not in the file" >&2
  exit 1
fi
struct_size=$(word 0 4)
flags=$(word $flags_at 2)
printf '%s load configuration: RVA 0x%x, directory size 0x%x, Size 0x%x, DependentLoadFlags 0x%x\n' \
  "$exe" $((0x$rva)) $((0x$size)) "$struct_size" "$flags"
if ((struct_size != 0x$size)) || { [[ $magic == 010b ]] && ((struct_size != 64)); }; then
  echo "$exe: the load configuration's size is not one Windows accepts" >&2
  exit 1
fi
if ((struct_size < flags_at + 2 || flags != 0x800)); then
  echo "$exe: DependentLoadFlags is not LOAD_LIBRARY_SEARCH_SYSTEM32 (0x800)" >&2
  exit 1
fi
