#!/usr/bin/env bash
# Usage: wine-run.sh <wine> <program.exe> [arguments...]
# ctest's emulator for the test programs (tests/CMakeLists.txt).  Runs the program under wine
# with its output passed through as it comes, and exits with wine's exit code.  When that is not
# 0 it says on stderr (a listing of the tests stays clean) how wine ended, and also when neither
# stream carried a byte: with WINEDEBUG=-all a program that Wine failed to start leaves nothing
# else in the log.
#
# Such a run is started once more.  A test program always prints before any test of it runs
# (GoogleTest's "Note: Google Test filter" and "Running N tests" lines, flushed at once; the
# names when listing), so a run that failed without a byte of output ran no test and checked
# nothing: it is Wine's failed start, not a result.  A run that printed anything stands as it
# ended.  Every such start is also appended to $KESTERLY_WINE_RUN_NOTES when that is set
# (scripts/wine-env.sh shows them at the end of the run), since ctest shows no output of a test
# that then passed.
wine=$1
shift
copies=$(mktemp -d "${TMPDIR:-/tmp}/wine-run.XXXXXX") || exit 1
trap 'rm -rf "$copies"' EXIT

note() {
  echo "wine-run: $*" >&2
  [[ -z ${KESTERLY_WINE_RUN_NOTES:-} ]] || echo "wine-run: $*" >>"$KESTERLY_WINE_RUN_NOTES"
}

for attempt in 1 2; do
  started=$EPOCHREALTIME
  # Both copies are made by members of the pipelines, so both are complete when it returns.
  { "$wine" "$@" 2>&1 1>&3 3>&- | tee "$copies/err" >&2 3>&-
    echo "${PIPESTATUS[0]}" >"$copies/rc"; } 3>&1 | tee "$copies/out"
  rc=$(<"$copies/rc")
  ((rc != 0)) || exit 0

  seconds=$(awk -v a="$started" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.2f", b - a }')
  run="${1##*/}${2:+ ${*:2}}"
  if [[ -s $copies/out || -s $copies/err ]]; then
    echo "wine-run: wine ended with exit code $rc after $seconds s: $run" >&2
    exit "$rc"
  fi
  if ((attempt == 1)); then
    note "wine ended with exit code $rc after $seconds s, and neither it nor the program printed" \
         "anything (WINEDEBUG=${WINEDEBUG-unset}): the program never started; starting it once more: $run"
  else
    note "the second start failed the same way (exit code $rc after $seconds s, no output;" \
         "WINEDEBUG=err+all shows Wine's own errors): $run"
  fi
done
exit "$rc"
