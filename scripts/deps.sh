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
  wine wine64 fonts-wine locales xvfb xauth imagemagick
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

# A mirror in mid-sync fails an index now and then ("File has unexpected size ... Mirror sync in
# progress?"), and apt-get update then exits non-zero though it kept the lists it had.  That is
# not ours to stop for: try twice more, then go on with those lists.  Only the install decides.
log=$(mktemp)
trap 'rm -f "$log"' EXIT
for attempt in 1 2 3; do
  if "${sudo[@]}" apt-get update -q 2>&1 </dev/null | tee "$log"; then break; fi
  if ((attempt < 3)); then
    echo "deps: apt-get update failed (attempt $attempt of 3); trying again in 5 s"
    sleep 5
  else
    index=$(sed -n 's/^Err:[0-9]* [^ ]* //p' "$log" | head -n 1)
    echo "deps: apt-get update failed 3 times (index: ${index:-not named}); going on with the package lists there are"
  fi
done

# install <package...>: apt-get install; on failure, one line naming the packages and apt's reason.
install() {
  if "${sudo[@]}" apt-get install -y -q "$@" </dev/null 2>&1 | tee "$log"; then return 0; fi
  echo "deps: could not install $*: $(grep -m 1 '^E: ' "$log" | cut -c4- || echo "apt-get install failed")" >&2
  return 1
}
# Recommends stay on: they bring the fonts Wine draws dialogs with (fonts-wine).
rest=()
for p in "${missing[@]}"; do [[ $p == wine32:i386 ]] || rest+=("$p"); done
[[ ${#rest[@]} -eq 0 ]] || install "${rest[@]}"
# Without the 32-bit Wine everything else still works, and by default scripts/test.sh runs the
# 32-bit suites under emulation instead (scripts/i686-way.sh), which needs debootstrap.
if [[ ${#rest[@]} -lt ${#missing[@]} ]] && ! install wine32:i386; then
  echo "deps: going on without the 32-bit Wine" >&2
  if [[ ${KESTERLY_I686:-auto} != native && $(dpkg-query -W -f='${db:Status-Status}' debootstrap 2>/dev/null) != installed ]]; then
    install debootstrap
  fi
fi
