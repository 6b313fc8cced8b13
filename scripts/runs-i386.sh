#!/usr/bin/env bash
# Exits 0 when this machine executes 32-bit x86 (i386) Linux programs, the kind Debian's 32-bit
# Wine loader is: it writes a 96-byte static i386 program that only exits with 42, and runs it.
# A kernel without IA-32 emulation (as in some virtual machines) refuses it with "Exec format error".
set -u
probe=$(mktemp "${TMPDIR:-/tmp}/runs-i386.XXXXXX") || exit 2
trap 'rm -f "$probe"' EXIT
# ELF header, one loadable segment at 0x08048000, then: mov eax,1; mov ebx,42; int 0x80 (exit(42)).
printf '\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00'\
'\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00'\
'\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00'\
'\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' >"$probe"
chmod +x "$probe"
"$probe" 2>/dev/null
[[ $? == 42 ]]
