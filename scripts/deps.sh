#!/usr/bin/env bash
# Installs the packages Kesterly's build, tests and sandbox need, if missing.
# Quick when everything is present: only dpkg-query is asked.
set -euo pipefail

packages=(
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  wine wine64 fonts-wine xvfb xauth imagemagick
  googletest cmake ninja-build clang libclang-rt-14-dev libx11-dev python3
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [[ $status == installed ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "deps: installing ${missing[*]}"
sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
# Recommends stay on: they bring the fonts Wine draws dialogs with (fonts-wine).
"${sudo[@]}" apt-get install -y -q "${missing[@]}" </dev/null
