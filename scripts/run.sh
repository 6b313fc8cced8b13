#!/usr/bin/env bash
# Builds Kesterly and starts it in a sandbox Wine prefix (build/<preset>/sandbox)
# where both games are installed and registered and C:\Rules\ holds sample
# rules files.  The prefix is kept between runs, so Kesterly's remembered
# settings persist.
#
#   bash scripts/run.sh          the 32-bit program (preset i686), the one players get
#   bash scripts/run.sh --x64    the 64-bit program (preset x64)
#
# Kesterly speaks the language of the caller's locale: LANG=ru_RU.UTF-8 bash
# scripts/run.sh starts it in Russian (scripts/wine-env.sh makes the locales
# of its languages).  Further arguments go to kesterly.exe.  Where this
# machine does not execute 32-bit programs (scripts/runs-i386.sh), the script
# says so and starts the 64-bit one.
#
# The games are stand-ins (tests/stubgame): started by Kesterly, each shows a
# small window saying which game it is and which Rules.ini it received.
# KESTERLY_BUILD_DIR=<folder> uses an already configured build folder instead
# of the preset's own.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

preset=i686
if [[ ${1:-} == --x64 ]]; then
  preset=x64
  shift
fi

bash scripts/deps.sh
source scripts/i686-way.sh
if [[ $preset == i686 ]] && ! i686_kernel_runs_i386; then
  echo "run: this machine does not execute 32-bit programs; starting the 64-bit Kesterly instead"
  preset=x64
elif [[ $preset == i686 ]] && ! i686_wine32_installed; then
  echo "run: the 32-bit Wine is not installed here; starting the 64-bit Kesterly instead"
  preset=x64
fi
build=${KESTERLY_BUILD_DIR:-}
if [[ -z $build ]]; then
  build=build/$preset
  cmake --preset "$preset" >/dev/null
fi
cmake --build "$build" -j2 --target kesterly stubgame

WINEPREFIX_NAME=sandbox
source scripts/wine-env.sh "$build"
if [[ $preset == i686 && -z ${KESTERLY_BUILD_DIR:-} ]] && ! kesterly_runs_win32; then
  echo "run: $(wine --version) does not run 32-bit Windows programs here (is wine32:i386 installed?);" \
       "bash scripts/run.sh --x64 starts the 64-bit Kesterly" >&2
  exit 1
fi

drive_c=$WINEPREFIX/drive_c
reg_add() {  # <key under HKLM\Software> <value> <type> <data>: the 32-bit view, as 32-bit installers write
  wine reg add "HKLM\\Software\\$1" /v "$2" /t "$3" /d "$4" /reg:32 /f </dev/null >/dev/null
}
install_game() {  # <registry key> <folder under C:\> <exe name>
  mkdir -p "$drive_c/$2"
  cp "$build/tests/stubgame.exe" "$drive_c/$2/$3"
  reg_add "Westwood\\$1" InstallPath REG_SZ "C:\\${2//\//\\}\\$3"
}
install_game 'Tiberian Sun' 'Westwood Games/Tiberian Sun' Sun.exe
install_game 'Red Alert Windows 95 Edition' 'Westwood Games/Red Alert' RA95.exe

if [[ ! -d $drive_c/Rules ]]; then
  mkdir -p "$drive_c/Rules"
  cp scripts/sandbox-rules/*.ini "$drive_c/Rules/"
  # Kesterly lists plain files only: this one must never appear.
  wine attrib +h 'C:\Rules\Hidden.ini' </dev/null >/dev/null 2>&1
  # A first start as after an earlier session on the Red Alert tab; from then on
  # Kesterly remembers what you leave it with.
  reg_add 'Halvek\Kesterly' TSRulesDir REG_SZ 'C:\Rules\'
  reg_add 'Halvek\Kesterly' RARulesDir REG_SZ 'C:\Rules\'
  reg_add 'Halvek\Kesterly' GameTab REG_DWORD 1
fi

echo "Kesterly in $WINEPREFIX (display $DISPLAY); the games log their starts in"
echo "  $drive_c/Westwood Games/*/*.log"
# The stand-in games inherit Kesterly's environment: this makes them show what they received.
export KESTERLY_STUB_WINDOW=1
# In the background, so that a signal to this script ends it at once (and its
# EXIT trap stops the wineserver, and Kesterly with it).
wine "$build/kesterly.exe" "$@" &
wait $!
# Kesterly has ended; a game it started may still show its window.
while pgrep -f 'Westwood Games.(Tiberian Sun.Sun|Red Alert.RA95)\.exe' >/dev/null; do sleep 0.5; done
