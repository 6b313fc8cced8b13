#!/usr/bin/env bash
# Builds everything and runs every test suite twice under Wine: built for x86_64, and built for
# i686, the 32-bit program that is shipped.  Each build has its own Wine prefix
# (build/<preset>/wineprefix).  The fuzz target is a native program and runs once, with the
# x86_64 tests.  Exits non-zero when either run fails.
#
# Whether this machine runs 32-bit programs is checked, not assumed.  Where its kernel does not
# execute 32-bit x86 programs at all (some virtual machines' kernels), the script says so in one
# line and the x86_64 suites decide.  Where the kernel does and Wine still cannot run the i686
# build (wine32 missing or broken), that is a failure, never a pass.
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
# Exits 75 when this machine cannot run the build's programs (the i686 build only).
run_suites() (
  if [[ $1 == i686 ]] && ! bash scripts/runs-i386.sh; then
    echo "== test i686: not run: this machine's kernel does not execute 32-bit x86 programs, so no Wine here runs the 32-bit Kesterly (checked by scripts/runs-i386.sh)"
    exit 75
  fi
  source scripts/wine-env.sh "build/$1"
  if [[ $1 == i686 ]] && ! kesterly_runs_win32; then
    echo "== test i686: not run: this machine executes 32-bit programs, but $(wine --version) does not run 32-bit Windows programs (is wine32:i386 installed?)"
    exit 76
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
case $i686 in
  # A kernel without 32-bit support: said in one line above; the 64-bit suites decide.
  75) i686=0 ;;
  # The machine could run the shipped program and the set-up failed to: never a pass.
  76) echo "test: the 32-bit suites could not run on a machine that executes 32-bit programs" >&2
      i686=1 ;;
esac
((status != 0)) || status=$i686
exit $status
