#!/usr/bin/env bash
# Usage: nothing-left.sh <prefix> <wine> <e2e_tests.exe> <cases> <launch_tests.exe> <cases>
# In a prefix of its own (the suites' server runs for good), the cases run with the stand-in game
# kept running; the server must then end by itself, after the game: nothing of Kesterly's runs on.
set -euo pipefail
export WINEPREFIX=$1 KESTERLY_STUB_WAIT=3000
# Made once per build folder; a prefix whose making was cut short (a run killed meanwhile) is made anew.
if [[ ! -f $WINEPREFIX/made ]]; then
  rm -rf "$WINEPREFIX"
  wineboot -i >"$WINEPREFIX.log" 2>&1 && wineserver -w ||
    { echo "nothing-left: the prefix could not be made:" >&2; tail -20 "$WINEPREFIX.log" >&2; exit 1; }
  touch "$WINEPREFIX/made"
fi
"$2" "$3" --gtest_filter="$4" && "$2" "$5" --gtest_filter="$6"
timeout 60 wineserver -w || { echo "nothing-left: the prefix still runs a program 60 s on" >&2; exit 1; }
