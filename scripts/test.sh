#!/usr/bin/env bash
# Builds everything and runs every test suite twice under Wine: built for x86_64, and built for
# i686, the 32-bit program that is shipped.  Each build has its own Wine prefix
# (build/<preset>/wineprefix).  The fuzz target is a native program and runs once, with the
# x86_64 tests.  Exits non-zero when either run fails.
#
# Whether this machine runs 32-bit programs is checked, not assumed (scripts/runs-i386.sh).  The
# i686 run goes one of three ways, and the log says which, and whether KESTERLY_I686 chose it
# (auto, the default, native or emulated: see scripts/i686-way.sh):
#   native     Debian's wine32 runs the suites: by default where the kernel executes 32-bit x86
#              programs and wine32 is installed.  Wine failing to run the i686 build there is a
#              failure, never a pass.
#   emulated   the suites run under wine32 in build/emu32, on qemu's i386 CPU emulation
#              (scripts/emu32.sh): by default where the kernel refuses them (some virtual
#              machines' kernels), or where wine32 could not be installed (scripts/deps.sh).  Set up once per build folder; a run that starts and fails is a
#              failure, and so is one that finds the kernel, not qemu, running its 32-bit programs.
#   not run    by default, where neither is possible (no user namespaces, no qemu to be had):
#              said in one line with the reason, and the x86_64 run decides.  A way that
#              KESTERLY_I686 chose and this machine cannot have fails the run instead.
#
# The tests get a private Xvfb display, so windows never pop up on a desktop
# and no window manager interferes; KESTERLY_USE_DISPLAY=1 uses $DISPLAY
# instead, and KESTERLY_DISPLAY=N picks the Xvfb display number.  Within a run
# they go one at a time (the test presets): tests that type into a window need
# it to keep the focus, which a test in another process would take away.  The
# x86_64 and i686 runs, each on a display of its own, go side by side (in turn
# on the one display that either variable names).
#
#   bash scripts/test.sh                   everything, as CI runs it
#   bash scripts/test.sh --i686 [ARG...]   builds the i686 preset and runs only its suites, natively
#                                          or emulated; ARGs go to ctest (-R EndToEnd: end-to-end)
#   KESTERLY_I686=emulated bash scripts/test.sh --i686 -R EndToEnd   the same, emulated here too
#   bash scripts/test.sh --suites P [ARG...]  preset P's suites as they are built, right here
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

# run_suites <preset> [ctest args]: in a subshell, so that each run's wineserver and display end
# with it.  Exits 76 when Wine cannot run the i686 build's programs on a machine that executes
# 32-bit programs.
run_suites() (
  local preset=$1
  shift
  # The suites read Kesterly's English texts, whatever the caller's language; the case that runs it
  # in German says so itself.
  export LC_ALL=C.UTF-8
  # The tests of a full disk fill a volume of their own: a small tmpfs, in a mount namespace of
  # this run's own, linked as the prefix's drive E:.  It is mounted before the wineserver starts,
  # since the server is what opens files.  Where it cannot be had, those tests say why and skip.
  # scripts/emu32.sh runs the emulated suites in a private mount namespace already.
  unset KESTERLY_FULL_VOLUME
  [[ -z ${KESTERLY_EMULATED:-} ]] || KESTERLY_MOUNT_NS=1
  if [[ -z ${KESTERLY_MOUNT_NS:-} ]] && (($(id -u) == 0)) && unshare --mount --propagation private true 2>/dev/null; then
    KESTERLY_MOUNT_NS=1 exec unshare --mount --propagation private bash scripts/test.sh --suites "$preset" "$@"
  fi
  local volume=build/$preset/full-volume why=
  mkdir -p "$volume"
  if [[ -z ${KESTERLY_MOUNT_NS:-} ]]; then
    why="it needs root and a mount namespace of its own"
  elif ! mount -t tmpfs -o size=4m kesterly-full "$volume"; then
    why="a tmpfs cannot be mounted here"
  fi
  source scripts/wine-env.sh "build/$preset"
  if [[ -z $why && -z ${KESTERLY_WINESERVER_OWNED:-} ]]; then
    why="the prefix's wineserver was started outside this run, and does not see the volume"
  fi
  if [[ -z $why ]]; then
    ln -sfn "$PWD/$volume" "$WINEPREFIX/dosdevices/e:"
    export KESTERLY_FULL_VOLUME=E:
    echo "== test $preset: drive E: is a 4 MB tmpfs of this run's own, for the tests of a full disk"
  else
    echo "== test $preset: no volume to fill, so the tests of a full disk skip: $why"
  fi
  if [[ -n ${KESTERLY_EMULATED:-} ]]; then
    # Proof that this namespace's binfmt_misc hands 32-bit programs to qemu, even on a machine
    # whose kernel would run them itself.
    local ran
    ran=$(bash scripts/runs-i386.sh --under qemu-i386) ||
      { echo "== test $preset: emulated, yet a 32-bit program in here ran as $ran, not under qemu-i386"; exit 1; }
    echo "== test $preset: checked: a 32-bit program in here runs under $ran, not on the kernel itself"
  fi
  if [[ $preset == i686 ]] && ! kesterly_runs_win32; then
    echo "== test i686: $(wine --version) does not run 32-bit Windows programs here (is wine32:i386 installed?)"
    exit 76
  fi
  echo "== test $preset${KESTERLY_EMULATED:+, emulated by $KESTERLY_EMULATED} (under $(wine --version), display $DISPLAY)"
  local started=$SECONDS
  # ctest runs in the background so that a signal (CI's timeout) ends this script
  # at once; the EXIT trap then stops the wineserver and the display.
  ctest --preset "$preset" "$@" &
  ctest_pid=$!
  trap 'kill $ctest_pid 2>/dev/null; exit 143' TERM
  trap 'kill $ctest_pid 2>/dev/null; exit 130' INT
  status=0
  wait $ctest_pid || status=$?
  echo "== test $preset${KESTERLY_EMULATED:+ (emulated)}: ctest exited with $status after $((SECONDS - started)) s"
  exit $status
)

# emulation_setup_start: scripts/emu32.sh setup in the background, its lines kept in
# build/emu32-setup.log, so that on a fresh clone it overlaps the builds and the x86_64 run.
emu_setup_pid=
emulation_setup_start() {
  mkdir -p build
  bash scripts/emu32.sh setup </dev/null >build/emu32-setup.log 2>&1 &
  emu_setup_pid=$!
}

# run_emulated [ctest args]: the i686 suites under emulation (scripts/emu32.sh).  Returns 75 when
# emulation cannot be had here, with the reason in i686_cannot.
run_emulated() {
  local rc=0
  [[ -n $emu_setup_pid ]] || emulation_setup_start
  wait "$emu_setup_pid" || rc=$?
  emu_setup_pid=
  sed 's/^/   /' build/emu32-setup.log
  if ((rc != 0)); then
    ((rc == 75)) || return 1
    i686_cannot=$(tail -1 build/emu32-setup.log | sed 's/^emu32: //')
    return 75
  fi
  (
    # What the root lacks is made out here: the X display, and the Windows tools that
    # scripts/wine-env.sh builds with MinGW.
    source scripts/wine-env.sh --display-only build/i686
    kesterly_tool build/i686 win32-probe i686
    kesterly_tool build/i686 desktop-keeper x86_64 -mwindows
    qemu=$(bash scripts/emu32.sh version)
    echo "== test i686: emulated ($i686_how): wine32 runs under $qemu"
    qemu=${qemu%% (*}
    KESTERLY_EMULATED=${qemu/version /} bash scripts/emu32.sh run bash scripts/test.sh --suites i686 "$@" &
    pid=$!
    trap 'kill $pid 2>/dev/null; exit 143' TERM
    trap 'kill $pid 2>/dev/null; exit 130' INT
    wait $pid
  )
}

[[ ${1:-} != --suites ]] || { shift; run_suites "$@"; exit; }

bash scripts/deps.sh
source scripts/i686-way.sh
i686_choose || exit 2
if [[ $i686_way == emulated ]]; then emulation_setup_start; fi

if [[ ${1:-} == --i686 ]]; then
  shift
  cmake --preset i686 >/dev/null
  cmake --build --preset i686 -j2
  [[ ${KESTERLY_USE_DISPLAY:-0} == 1 ]] || unset DISPLAY
  status=0
  run_i686 "$@" || status=$?
  exit $status
fi

for preset in x64 i686; do
  echo "== build $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j2
done

[[ ${KESTERLY_USE_DISPLAY:-0} == 1 ]] || unset DISPLAY

status=0 i686=0
if [[ ${KESTERLY_USE_DISPLAY:-0} == 1 || -n ${KESTERLY_DISPLAY:-} ]]; then
  # One display for both: the runs would take each other's focus, so they take turns.
  run_suites x64 || status=$?
  run_i686 || i686=$?
else
  # Each run has a display, a prefix and a wineserver of its own, so the x86_64 run goes on beside
  # the i686 one.  Its lines are kept in a file and shown after the i686 run's, whole.
  x64_log=build/x64/suites.log
  run_suites x64 >"$x64_log" 2>&1 &
  x64_pid=$!
  trap 'kill $x64_pid 2>/dev/null; cat "$x64_log"; exit 143' TERM
  run_i686 || i686=$?
  wait $x64_pid || status=$?
  trap - TERM
  echo "== test x64, run beside the i686 run:"
  cat "$x64_log"
fi
echo "== test: x64 exited with $status, i686 with $i686"
((status != 0)) || status=$i686
exit $status
