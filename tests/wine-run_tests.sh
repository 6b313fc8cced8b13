#!/usr/bin/env bash
# Usage: wine-run_tests.sh <scripts/wine-run.sh>
# The emulator with a stand-in for wine: only a start that failed without any output is made again.
run=$1 work=$(mktemp -d) failed=0
trap 'rm -rf "$work"' EXIT
cat >"$work/wine" <<'STAND_IN'
#!/usr/bin/env bash
echo >>"$STARTS"
case $1 in
  passes) echo "[  PASSED  ] 1 test." ;;
  fails) echo "[  FAILED  ] 1 test."; exit 1 ;;
  fails-on-stderr) echo "wine: failed to open" >&2; exit 53 ;;
  silent-once) (($(wc -l <"$STARTS") > 1)) || exit 53; echo "[  PASSED  ] 1 test." ;;
  silent) exit 66 ;;
esac
STAND_IN
chmod +x "$work/wine"
# expect <behaviour> <exit code> <starts> <notes lines> <text the log must hold>
expect() {
  rm -f "$work/starts" "$work/notes"
  log=$(STARTS=$work/starts KESTERLY_WINE_RUN_NOTES=$work/notes bash "$run" "$work/wine" "$1" 2>&1)
  got="$? $(wc -l <"$work/starts") $(cat "$work/notes" 2>/dev/null | wc -l)"
  if [[ $got != "$2 $3 $4" || $log != *"$5"* ]]; then
    echo "$1: exit code, starts, notes: $got, not $2 $3 $4; or the log lacks \"$5\":"; echo "$log"; failed=1
  fi
}
expect passes 0 1 0 "[  PASSED  ] 1 test."
expect fails 1 1 0 "wine ended with exit code 1 after"
expect fails-on-stderr 53 1 0 "wine: failed to open"
expect silent-once 0 2 1 "the program never started; starting it once more: silent-once"
expect silent 66 2 2 "the second start failed the same way (exit code 66"
exit $failed
