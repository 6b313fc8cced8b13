#!/usr/bin/env bash
# Usage: steam-prefix.sh <home> <command...>
# Runs the command in $WINEPREFIX reached through a link in a Steam library, as Proton's prefixes
# lie: Wine sets WINECONFIGDIR from the prefix's path in every process, whatever a parent passes.
# The wineserver stays the same (it goes by the folder, not its name).
set -euo pipefail
home=$1
shift
library=$home/.local/share/Steam/steamapps/compatdata/2229840
mkdir -p "$library"
ln -sfn "${WINEPREFIX:?WINEPREFIX is not set}" "$library/pfx"
WINEPREFIX=$library/pfx exec "$@"
