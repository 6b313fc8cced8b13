#!/usr/bin/env bash
# Usage: wine-run.sh <wine> <program.exe> [arguments...]
# ctest's emulator for the test programs (tests/CMakeLists.txt).  Runs the program under wine
# with its output passed through as it comes, and exits with wine's exit code.  When that is not
# 0 it adds one line on how wine ended, and when neither stream carried a byte, a line that says
# so: with WINEDEBUG=-all a program that Wine failed to start leaves nothing else in the log.
wine=$1
shift
copies=$(mktemp -d "${TMPDIR:-/tmp}/wine-run.XXXXXX") || exit 1
trap 'rm -rf "$copies"' EXIT
started=$EPOCHREALTIME

"$wine" "$@" 2> >(tee "$copies/err" >&2) | tee "$copies/out"
rc=${PIPESTATUS[0]}
wait $! 2>/dev/null   # the copy of stderr

if ((rc != 0)); then
  seconds=$(awk -v a="$started" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.2f", b - a }')
  how="exit code $rc"
  ((rc > 128)) && how+=" (signal $((rc - 128)) to wine, or a Windows exit code above 128)"
  echo "wine-run: wine ended with $how after $seconds s: $*"
  if [[ ! -s $copies/out && ! -s $copies/err ]]; then
    echo "wine-run: neither wine nor ${1##*/} printed anything on stdout or stderr" \
         "(WINEDEBUG=${WINEDEBUG-unset}; WINEDEBUG=err+all shows Wine's own errors)"
  fi
fi
exit "$rc"
