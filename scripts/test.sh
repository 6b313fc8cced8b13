#!/usr/bin/env bash
# Builds everything (x86_64 with the tests, and the shipped i686 program) and
# runs the tests under Wine.  Exits with ctest's status.
#
# The tests get a private Xvfb display, so windows never pop up on a desktop
# and no window manager interferes; KESTERLY_USE_DISPLAY=1 uses $DISPLAY
# instead, and KESTERLY_DISPLAY=N picks the Xvfb display number.  They run one
# at a time (the test preset): tests that type into a window need it to keep
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
source scripts/wine-env.sh build/x64

echo "== test x64 (under $(wine --version), display $DISPLAY)"
# ctest runs in the background so that a signal (CI's timeout) ends this script
# at once; its EXIT trap then stops the wineserver and the display.
ctest --preset x64 &
ctest_pid=$!
trap 'kill $ctest_pid 2>/dev/null; exit 143' TERM
trap 'kill $ctest_pid 2>/dev/null; exit 130' INT
status=0
wait $ctest_pid || status=$?
exit $status
