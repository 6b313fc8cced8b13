#!/usr/bin/env bash
# Builds everything and runs every test suite twice under Wine: built for x86_64, and built for
# i686, the 32-bit program that is shipped.  Each build has its own Wine prefix
# (build/<preset>/wineprefix).  The fuzz target is a native program and runs once, with the
# x86_64 tests.  Exits non-zero when either run fails.
#
# Whether this machine runs 32-bit Windows programs is checked, not assumed: where it does not,
# the script says so and runs the x86_64 suites only, and under CI=true that counts as a failure.
#
# The tests get a private Xvfb display, so windows never pop up on a desktop
# and no window manager interferes; KESTERLY_USE_DISPLAY=1 uses $DISPLAY
# instead, and KESTERLY_DISPLAY=N picks the Xvfb display number.  They run one
# at a time (the test presets): tests that type into a window need it to keep
# the focus, which a test in another process would take away.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/deps.sh

for preset in x64 i686; do
  echo "== build $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j2
done

[[ ${KESTERLY_USE_DISPLAY:-0} == 1 ]] || unset DISPLAY

# run_suites <preset>: in a subshell, so that each run's wineserver and display end with it.
run_suites() (
  source scripts/wine-env.sh "build/$1"
  if [[ $1 == i686 ]] && ! kesterly_runs_win32; then
    echo "== test i686: not run, this machine does not run 32-bit Windows programs under $(wine --version)"
    exit 75
  fi
  echo "== test $1 (under $(wine --version), display $DISPLAY)"
  local started=$SECONDS
  # ctest runs in the background so that a signal (CI's timeout) ends this script
  # at once; the EXIT trap then stops the wineserver and the display.
  ctest --preset "$1" &
  ctest_pid=$!
  trap 'kill $ctest_pid 2>/dev/null; exit 143' TERM
  trap 'kill $ctest_pid 2>/dev/null; exit 130' INT
  status=0
  wait $ctest_pid || status=$?
  echo "== test $1: ctest exited with $status after $((SECONDS - started)) s"
  exit $status
)

status=0
run_suites x64 || status=$?
i686=0
run_suites i686 || i686=$?
if [[ $i686 == 75 ]]; then
  if [[ ${CI:-} == true ]]; then
    echo "test: CI must prove the shipped 32-bit program, and this machine cannot run it" >&2
    i686=1
  else
    i686=0
  fi
fi
((status != 0)) || status=$i686
exit $status
