#!/usr/bin/env bash
# Exits 0 when this machine executes 32-bit x86 (i386) Linux programs, the kind Debian's 32-bit
# Wine loader is: it writes a 112-byte static i386 program that reads one byte from its input
# and then exits with 42, and runs it with no input.  A kernel without IA-32 emulation (as in some
# virtual machines) refuses it with "Exec format error".
#
#   bash scripts/runs-i386.sh --under NAME
# also tells what ran the probe: it holds the probe in its read, looks at the program the kernel
# started for it (/proc/PID/exe, read from out here, where no emulator can dress it up), and
# prints that program's path.  It exits 0 only when the probe ran and that program is named NAME:
# with NAME=qemu-i386 that proves a binfmt_misc handler took the probe, not the kernel itself.
set -u
probe=$(mktemp "${TMPDIR:-/tmp}/runs-i386.XXXXXX") || exit 2
trap 'rm -f "$probe"' EXIT
# ELF header, one loadable segment at 0x08048000, then:
#   mov eax,3; xor ebx,ebx; mov ecx,esp; mov edx,1; int 0x80   read(0, esp, 1)
#   mov eax,1; mov ebx,42; int 0x80                             exit(42)
printf '\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00'\
'\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00'\
'\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x70\x00\x00\x00'\
'\x70\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x03\x00\x00\x00\x31\xdb\x89\xe1\xba\x01\x00'\
'\x00\x00\xcd\x80\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' >"$probe"
chmod +x "$probe"
if [[ ${1:-} != --under ]]; then
  "$probe" </dev/null 2>/dev/null
  [[ $? == 42 ]]
  exit
fi
want=${2:?usage: bash scripts/runs-i386.sh [--under NAME]}
# The probe's input is a fifo opened here: it waits in its read until that is closed.
mkfifo "$probe.in" || exit 2
trap 'rm -f "$probe" "$probe.in"' EXIT
"$probe" <"$probe.in" 2>/dev/null &
pid=$!
exec {in}>"$probe.in"
shell=$(readlink /proc/$$/exe)
# Until the exec, the child is a copy of this shell.
for ((i = 0; i < 200; i++)); do
  ran=$(readlink "/proc/$pid/exe" 2>/dev/null) || { ran=; break; }
  [[ $ran == "$shell" ]] || break
  sleep 0.05
done
exec {in}>&-
wait "$pid"
rc=$?
echo "${ran:-nothing that could be seen: the probe ended at once, with exit code $rc}"
[[ $rc == 42 && ${ran##*/} == "$want" ]]
