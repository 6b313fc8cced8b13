#!/usr/bin/env bash
# Installs the packages Kesterly's build, tests and sandbox need, if missing, among them Debian's
# 32-bit Wine (wine32:i386, with the i386 architecture enabled), which runs the shipped 32-bit
# program.  Quick when everything is present: only dpkg is asked.
set -euo pipefail

packages=(
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  wine wine64 fonts-wine xvfb xauth imagemagick
  googletest cmake ninja-build clang libclang-rt-14-dev libx11-dev python3
)
# Only where dpkg's own architecture is amd64: there wine32 comes from the i386 one.
wine32=()
[[ $(dpkg --print-architecture) == amd64 ]] && wine32=(wine32:i386)

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
