#!/usr/bin/env bash
# Builds Kesterly (x86_64) and starts it in a sandbox Wine prefix
# (build/x64/sandbox) where both games are installed and registered and
# C:\Rules\ holds sample rules files.  The prefix is kept between runs, so
# Kesterly's remembered settings persist.  Arguments go to kesterly.exe.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/deps.sh
cmake --preset x64 >/dev/null
cmake --build --preset x64 -j2 --target kesterly stubgame

WINEPREFIX_NAME=sandbox
source scripts/wine-env.sh build/x64

drive_c=$WINEPREFIX/drive_c
install_game() {  # <registry key> <folder under C:\> <exe name>
  mkdir -p "$drive_c/$2"
  cp build/x64/tests/stubgame.exe "$drive_c/$2/$3"
  wine reg add "HKLM\\Software\\Westwood\\$1" /v InstallPath /t REG_SZ \
    /d "C:\\${2//\//\\}\\$3" /reg:32 /f </dev/null >/dev/null
}
install_game 'Tiberian Sun' 'Westwood Games/Tiberian Sun' Game.exe
install_game 'Red Alert Windows 95 Edition' 'Westwood Games/Red Alert' RA95.exe

if [[ ! -d $drive_c/Rules ]]; then
  mkdir -p "$drive_c/Rules"
  cp scripts/sandbox-rules/*.ini "$drive_c/Rules/"
fi

echo "Kesterly in $WINEPREFIX (display $DISPLAY); games log their starts in"
echo "  $drive_c/Westwood Games/*/*.log"
# In the background, so that a signal to this script ends it at once (and its
# EXIT trap stops the wineserver, and Kesterly with it).
wine build/x64/kesterly.exe "$@" &
wait $!
