#!/usr/bin/env bash
# Usage: nothing-left.sh <prefix> <wine> <e2e_tests.exe> <e2e cases> <launch_tests.exe> <launch cases>
# Kesterly leaves no process behind once it has started the game, so that Proton's `wineserver -w`
# waits for the game alone. In a prefix of its own (the suites' server runs for good), the cases run
# with the stand-in game kept running for 3 s; the server must then end by itself after the game.
set -euo pipefail
export WINEPREFIX=$1 KESTERLY_STUB_WAIT=3000
[[ -f $WINEPREFIX/system.reg ]] || { wineboot -i >/dev/null 2>&1; wineserver -w; }
"$2" "$3" --gtest_filter="$4"
"$2" "$5" --gtest_filter="$6"
timeout 60 wineserver -w || { echo "nothing-left: the prefix still runs a program 60 s on" >&2; exit 1; }
