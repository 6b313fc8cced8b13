# The way scripts/test.sh runs the i686 suites, which it sources.  Two ways, which it defines:
#   native    run_suites i686 [ctest args]: the machine's own 32-bit Wine runs them.  Exits 76
#             when that Wine cannot run the i686 build's programs.
#   emulated  run_emulated [ctest args]: the 32-bit Wine of build/emu32 runs them on qemu's i386
#             CPU emulation (scripts/emu32.sh).  Returns 75, the reason in i686_cannot, when the
#             emulation cannot be set up here.
#
# KESTERLY_I686 chooses between them:
#   auto      the default: native where the kernel executes 32-bit x86 programs and the 32-bit
#             Wine is installed, emulated elsewhere.  Where the emulation cannot be set up either, the i686 suites are not
#             run, and the x86_64 run decides.
#   native    native; where the kernel refuses 32-bit programs the run fails.
#   emulated  emulated, even where the kernel executes 32-bit programs; where the emulation cannot
#             be set up the run fails.
# A way that was chosen and cannot be had fails the run with one line on why: it never passes in
# silence, and never falls back to the other way.

i686_kernel_runs_i386() { bash "${BASH_SOURCE[0]%/*}/runs-i386.sh"; }
# Whether Debian's 32-bit Wine is installed: scripts/deps.sh may fail to install it, as when the
# mirror's i386 index is mid-sync and the i386 twins of updated libraries cannot be had.
i686_wine32_installed() { [[ $(dpkg-query -W -f='${db:Status-Status}' wine32:i386 2>/dev/null) == installed ]]; }

# i686_choose: sets i686_way (native or emulated), i686_chosen (1 when KESTERLY_I686 chose it)
# and i686_how (the log's words on how the way came about).  Returns 2 after one line on why,
# when KESTERLY_I686 names no way, or a way this machine cannot have.
i686_choose() {
  local kernel="this machine's kernel executes 32-bit x86 programs" native=1
  i686_kernel_runs_i386 || { kernel="this machine's kernel does not execute 32-bit x86 programs"; native=0; }
  case ${KESTERLY_I686:-auto} in
    auto)
      i686_chosen=0 i686_how="by default: $kernel" i686_way=emulated
      if ((native)) && i686_wine32_installed; then
        i686_way=native
      elif ((native)); then
        i686_how+=", but its 32-bit Wine is not installed"
      fi ;;
    native | emulated)
      i686_chosen=1 i686_how="chosen by KESTERLY_I686; $kernel" i686_way=$KESTERLY_I686 ;;
    *)
      echo "== test i686: KESTERLY_I686=$KESTERLY_I686 names no way to run the i686 suites (auto, native or emulated)"
      return 2 ;;
  esac
  if [[ $i686_way == native ]] && ((!native)); then
    echo "== test i686: native ($i686_how): cannot be had here"
    return 2
  fi
}

# run_i686 [ctest args]: the i686 suites, the way i686_choose decided.  Returns the status that
# counts.
run_i686() {
  local status=0
  if [[ $i686_way == native ]]; then
    echo "== test i686: native ($i686_how)"
    run_suites i686 "$@" || status=$?
  else
    run_emulated "$@" || status=$?
  fi
  case $status in
    75)
      if ((i686_chosen)); then
        echo "== test i686: emulated ($i686_how): cannot be had here: ${i686_cannot:-see above}"
        return 1
      fi
      echo "== test i686: not run: this machine's kernel does not execute 32-bit x86 programs, and CPU emulation cannot be set up here: ${i686_cannot:-see above}"
      return 0 ;;
    76)
      echo "test: Wine could not run the i686 build's programs, so none of its suites ran" >&2
      return 1 ;;
  esac
  return $status
}
