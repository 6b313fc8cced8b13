# Wine environment for a build folder.  Source it:  source scripts/wine-env.sh build/x64
#
# Exports WINEPREFIX=<build>/wineprefix (created with wineboot on first use),
# WINEARCH, WINEDEBUG and WINEDLLOVERRIDES, makes sure an X display is there
# (starts Xvfb when DISPLAY is unset or unreachable, or on :$KESTERLY_DISPLAY
# when that is set), and keeps a persistent wineserver running so every wine
# process starts fast.  Whatever it started is stopped when the shell exits.
#
# With --display-only first it only makes sure of the X display and the locales
# (scripts/test.sh gives the emulated 32-bit run both this way, from outside the
# emulation's root).
#
# A caller may set WINEPREFIX_NAME to use another prefix folder inside the build
# folder (scripts/run.sh uses "sandbox").
#
# Wine maps Windows file names to Unix ones through the locale's character set:
# when the caller's locale is not UTF-8 (none at all in a minimal container),
# LC_ALL becomes C.UTF-8, which every Debian has, so that names such as
# "Règles" can be created.  Wine also takes a program's language from the
# locale (LC_ALL=de_DE.UTF-8 wine kesterly.exe): the UTF-8 locales of the
# languages Kesterly speaks are made once into <build>/locales with localedef
# (from Debian's locales package), and LOCPATH names that folder, before the
# system's own (which then leaves the machine's locale archive aside).
#
# kesterly_runs_win32 then tells whether this machine runs 32-bit Windows
# programs under this Wine (it starts a tiny i686 program and checks its exit code).

kesterly_wine_env() {
  local build=${1:?usage: source scripts/wine-env.sh <build folder>}
  mkdir -p "$build"
  build=$(cd "$build" && pwd)

  export WINEPREFIX="$build/${WINEPREFIX_NAME:-wineprefix}"
  export WINEARCH=win64
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  kesterly_locales "$build"
  [[ $(locale charmap 2>/dev/null) == UTF-8 ]] || export LC_ALL=C.UTF-8
  # Starts that Wine failed and scripts/wine-run.sh made again; shown when the shell exits.
  export KESTERLY_WINE_RUN_NOTES="$WINEPREFIX-failed-starts.txt"
  rm -f "$KESTERLY_WINE_RUN_NOTES"

  kesterly_display "$build" || return 1
  kesterly_wineserver || return 1
}

# kesterly_locales <folder>: <folder>/locales holds de_DE.UTF-8, fr_FR, es_ES, ru_RU and pl_PL,
# and LOCPATH names it.  Made in a folder of its own and then moved, so that two builds at once
# never see half a locale.
kesterly_locales() {
  local dir name tmp
  dir=$(cd "$1" && pwd)/locales
  for name in de_DE fr_FR es_ES ru_RU pl_PL; do
    [[ -f $dir/$name.UTF-8/LC_CTYPE ]] && continue
    mkdir -p "$dir"
    tmp=$(mktemp -d "$dir/.$name.XXXXXX")
    # -c: localedef warns of the sources' own inconsistencies and then exits 1 though it wrote the locale.
    localedef -c -i "$name" -f UTF-8 "$tmp/$name.UTF-8" >/dev/null 2>&1 || true
    if [[ -f $tmp/$name.UTF-8/LC_CTYPE ]]; then
      mv -T "$tmp/$name.UTF-8" "$dir/$name.UTF-8" 2>/dev/null || true
    else
      echo "wine-env: cannot make the locale $name.UTF-8 (is Debian's locales package installed?)" >&2
    fi
    rm -rf "$tmp"
  done
  export LOCPATH=$dir:/usr/lib/locale
}

# True when DISPLAY names a local X server whose socket is there.  Remote
# displays (host:N) are trusted as they are.
kesterly_display_reachable() {
  [[ -n ${DISPLAY:-} ]] || return 1
  [[ $DISPLAY =~ ^:([0-9]+)(\.[0-9]+)?$ ]] || return 0
  [[ -S /tmp/.X11-unix/X${BASH_REMATCH[1]} ]]
}

kesterly_display() {
  if [[ -z ${KESTERLY_DISPLAY:-} ]] && kesterly_display_reachable; then
    return 0
  fi
  local n first=${KESTERLY_DISPLAY:-100} last=${KESTERLY_DISPLAY:-199} i ready
  ready=$(mktemp)
  for ((n = first; n <= last; n++)); do
    [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] && continue
    # The socket alone does not say whose server it is: two runs starting at once may both try
    # this number, and the one that loses the lock must not take the other's display.  Xvfb writes
    # the number to -displayfd once it listens, and exits without a word when the number is taken.
    : >"$ready"
    KESTERLY_XVFB_PID=$(Xvfb ":$n" -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 3>"$ready" &
      echo $!)
    for ((i = 0; i < 100; i++)); do
      [[ -s $ready ]] && break
      kill -0 "$KESTERLY_XVFB_PID" 2>/dev/null || break
      sleep 0.05
    done
    if [[ -s $ready ]] && kill -0 "$KESTERLY_XVFB_PID" 2>/dev/null; then
      rm -f "$ready"
      export DISPLAY=:$n
      kesterly_wm_state "$1"
      return 0
    fi
    kill "$KESTERLY_XVFB_PID" 2>/dev/null
    KESTERLY_XVFB_PID=
  done
  rm -f "$ready"
  echo "wine-env: could not start Xvfb on :$first..:$last (display in use?)" >&2
  return 1
}

# Xvfb has no window manager: scripts/wm-state.c keeps the one property Wine
# waits for (see there).  Built into the build folder on first use.
kesterly_wm_state() {
  local src exe=$1/wm-state
  src="$(dirname "${BASH_SOURCE[0]}")/wm-state.c"
  if [[ ! $exe -nt $src ]]; then
    clang -O2 -o "$exe" "$src" -lX11 || { echo "wine-env: cannot build $exe" >&2; return 1; }
  fi
  KESTERLY_WMSTATE_PID=$("$exe" </dev/null >/dev/null 2>&1 & echo $!)
}

kesterly_wineserver() {
  if [[ ! -f $WINEPREFIX/system.reg ]]; then
    echo "wine-env: creating Wine prefix $WINEPREFIX (takes a few seconds)"
    wineboot -i >/dev/null 2>&1 || { echo "wine-env: wineboot failed" >&2; return 1; }
    # Let wineboot's own server finish writing the registry and exit, so that
    # the persistent one below is ours.
    wineserver -w
  fi
  kesterly_wine_fonts
  local rc=0
  wineserver -p >/dev/null 2>&1 || rc=$?
  case $rc in
    0) KESTERLY_WINESERVER_OWNED=1     # returns once its socket is ready
       # Start Wine's resident processes (services, desktop) now, detached from
       # our output: started by the first test they would inherit its stdout
       # and keep ctest waiting for the end of the output.
       kesterly_keep_desktop || return 1
       wine cmd /c exit </dev/null >/dev/null 2>&1 || true
       kesterly_default_window_management ;;
    2) ;;                              # another shell's server of this prefix: share it
    *) echo "wine-env: wineserver -p failed ($rc)" >&2; return 1 ;;
  esac
}

# Wine's own fonts (package fonts-wine), where every Wine looks for them: without them this
# Wine draws "MS Sans Serif" with a substitute of other metrics, and caption buttons without Marlett.
kesterly_wine_fonts() {
  local fonts=$WINEPREFIX/drive_c/windows/Fonts
  [[ -e $fonts/marlett.ttf || ! -d /usr/share/wine/fonts ]] && return 0
  cp /usr/share/wine/fonts/*.ttf /usr/share/wine/fonts/*.fon "$fonts/"
}

# Windows are managed as by default (a test prefix once had "Managed"="N",
# under which Wine's activation differs from Windows').
kesterly_default_window_management() {
  grep -q '^"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null || return 0
  wine reg delete 'HKCU\Software\Wine\X11 Driver' /v Managed /f </dev/null >/dev/null 2>&1
}

# kesterly_tool <build folder> <name> <i686|x86_64> [gcc flags]: scripts/<name>.c built with
# MinGW into the build folder when it is not there or older than its source.  Where no MinGW is
# (scripts/emu32.sh's root), a caller outside has built it.
kesterly_tool() {
  local exe=$1/$2.exe src
  src="$(dirname "${BASH_SOURCE[0]}")/$2.c"
  [[ $exe -nt $src ]] || "$3-w64-mingw32-gcc" -O2 -o "$exe" "$src" "${@:4}"
}

# The prefix's desktop stays open while the wineserver runs (see scripts/desktop-keeper.c).  A
# 64-bit program, so that it costs nothing where 32-bit programs run emulated.
kesterly_keep_desktop() {
  local build=${WINEPREFIX%/*}
  kesterly_tool "$build" desktop-keeper x86_64 -mwindows || { echo "wine-env: cannot build the desktop keeper" >&2; return 1; }
  wine "$build/desktop-keeper.exe" </dev/null >/dev/null 2>&1 &
}

kesterly_runs_win32() {
  local build=${WINEPREFIX%/*} rc=0
  kesterly_tool "$build" win32-probe i686 || return 1
  wine "$build/win32-probe.exe" </dev/null >/dev/null 2>&1 || rc=$?
  [[ $rc == 32 ]]
}

kesterly_wine_cleanup() {
  if [[ -s ${KESTERLY_WINE_RUN_NOTES:-} ]]; then
    echo "wine-env: programs that Wine failed to start in this run:" >&2
    cat "$KESTERLY_WINE_RUN_NOTES" >&2
  fi
  if [[ -n ${KESTERLY_WINESERVER_OWNED:-} ]]; then
    wineserver -k >/dev/null 2>&1 || true
    KESTERLY_WINESERVER_OWNED=
  fi
  if [[ -n ${KESTERLY_WMSTATE_PID:-} ]]; then
    kill "$KESTERLY_WMSTATE_PID" 2>/dev/null || true
    KESTERLY_WMSTATE_PID=
  fi
  if [[ -n ${KESTERLY_XVFB_PID:-} ]]; then
    kill "$KESTERLY_XVFB_PID" 2>/dev/null || true
    KESTERLY_XVFB_PID=
  fi
}

kesterly_wine_env_prev_trap=$(trap -p EXIT)
kesterly_wine_env_prev_trap=${kesterly_wine_env_prev_trap#trap -- }
kesterly_wine_env_prev_trap=${kesterly_wine_env_prev_trap% EXIT}
trap "kesterly_wine_cleanup${kesterly_wine_env_prev_trap:+; eval $kesterly_wine_env_prev_trap}" EXIT
if [[ $- != *i* ]]; then
  # A script killed by a signal runs its EXIT trap only if the signal makes it exit.
  trap 'exit 129' HUP
  trap 'exit 130' INT
  trap 'exit 143' TERM
fi
unset kesterly_wine_env_prev_trap

if [[ ${1:-} == --display-only ]]; then
  mkdir -p "${2:?usage: source scripts/wine-env.sh --display-only <build folder>}"
  kesterly_locales "$2"
  kesterly_display "$(cd "$2" && pwd)"
else
  kesterly_wine_env "$@"
fi
