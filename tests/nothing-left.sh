#!/usr/bin/env bash
# Usage: nothing-left.sh <prefix> <wine> <e2e_tests.exe> <cases> <launch_tests.exe> <cases>
# In a prefix of its own (the suites' server runs for good), the cases run with the stand-in game
# kept running; the server must then end by itself, after the game: nothing of Kesterly's runs on.
set -euo pipefail
export WINEPREFIX=$1 KESTERLY_STUB_WAIT=3000
[[ -f $WINEPREFIX/system.reg ]] || { wineboot -i >/dev/null 2>&1; wineserver -w; }
"$2" "$3" --gtest_filter="$4" && "$2" "$5" --gtest_filter="$6"
timeout 60 wineserver -w || { echo "nothing-left: the prefix still runs a program 60 s on" >&2; exit 1; }
