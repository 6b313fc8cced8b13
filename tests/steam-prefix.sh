#!/usr/bin/env bash
# Usage: steam-prefix.sh <home> <command...>
# Runs the command in the Wine prefix $WINEPREFIX reached through
# <home>/.local/share/Steam/steamapps/compatdata/2229840/pfx, a link to it, as Proton's prefixes
# lie in a Steam library. Wine sets WINECONFIGDIR in every Windows process from the prefix's path
# (a value that a parent passes is overwritten), so this is how a test gets a prefix under such a
# path. The prefix and its wineserver stay the same (the server goes by the folder, not its name).
set -euo pipefail
home=$1
shift
library=$home/.local/share/Steam/steamapps/compatdata/2229840
mkdir -p "$library"
ln -sfn "${WINEPREFIX:?WINEPREFIX is not set}" "$library/pfx"
WINEPREFIX=$library/pfx exec "$@"
