#!/usr/bin/env bash
# Installs the packages Kesterly's build, tests and sandbox need, if missing, among them Debian's
# 32-bit Wine (wine32:i386, with the i386 architecture enabled), which runs the shipped 32-bit
# program, and where it cannot run natively or KESTERLY_I686=emulated asks for it, debootstrap for
# the emulated one (scripts/emu32.sh).  Quick when everything is present: only dpkg is asked.
#   bash scripts/deps.sh            what the build, the tests and the sandbox need
#   bash scripts/deps.sh --release  and the players' guide's renderer, which only the release needs
set -euo pipefail

packages=(
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  wine wine64 fonts-wine xvfb xauth imagemagick
  googletest cmake ninja-build clang libclang-rt-14-dev libx11-dev python3
)
[[ ${1:-} != --release ]] || packages+=(cmark-gfm)
# Debian's 32-bit Wine only where it can work: on amd64 (it comes from the i386 architecture) and
# where the kernel executes 32-bit programs.  Some virtual machines' kernels refuse them ("Exec
# format error"), and there an installed wine32 would only make Debian's `wine` fail for every
# program, 64-bit ones included.
wine32=()
if [[ $(dpkg --print-architecture) == amd64 ]]; then
  if bash "$(dirname "${BASH_SOURCE[0]}")/runs-i386.sh"; then
    wine32=(wine32:i386)
  else
    echo "deps: this machine does not execute 32-bit x86 programs, so the 32-bit Wine is not installed here"
  fi
  # The emulated i686 run (scripts/emu32.sh) runs the 32-bit Wine in a Debian root of its own,
  # made with debootstrap: where the kernel refuses 32-bit programs, or where KESTERLY_I686=emulated
  # asks for it (see scripts/i686-way.sh).
  if [[ ${#wine32[@]} -eq 0 || ${KESTERLY_I686:-} == emulated ]]; then
    packages+=(debootstrap)
  fi
fi

missing=()
for p in "${packages[@]}" "${wine32[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [[ $status == installed ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "deps: installing ${missing[*]}"
sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
if [[ ${#wine32[@]} -gt 0 ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo[@]}" dpkg --add-architecture i386
fi
"${sudo[@]}" apt-get update -q
# Recommends stay on: they bring the fonts Wine draws dialogs with (fonts-wine).
rest=()
for p in "${missing[@]}"; do [[ $p == wine32:i386 ]] || rest+=("$p"); done
[[ ${#rest[@]} -eq 0 ]] || "${sudo[@]}" apt-get install -y -q "${rest[@]}" </dev/null
# Without the 32-bit Wine everything but the 32-bit test run still works: scripts/test.sh finds
# out whether 32-bit programs run and says so.
if [[ ${#rest[@]} -lt ${#missing[@]} ]]; then
  "${sudo[@]}" apt-get install -y -q wine32:i386 </dev/null || echo "deps: wine32:i386 could not be installed" >&2
fi
