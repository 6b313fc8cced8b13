#!/usr/bin/env bash
# Usage: deps_tests.sh <scripts/deps.sh>
# The set-up against an apt whose update fails, as while a mirror syncs: stand-ins for apt-get,
# dpkg, dpkg-query, sudo and sleep come first on PATH, and one package is reported missing.
deps=$1 failed=0
bin=$(mktemp -d)
trap 'rm -rf "$bin"' EXIT
cat >"$bin/apt-get" <<'STUB'
#!/bin/sh
echo "apt-get $*" >>"$STUB_LOG"
case $1 in
  update) echo "Err:6 http://mirror bookworm-security/main i386 Packages"
          echo "  File has unexpected size (374820 != 376004). Mirror sync in progress?"
          exit 100 ;;
  install) [ -z "$STUB_INSTALL_FAILS" ] && exit 0
           echo "E: Unable to locate package xvfb"; exit 100 ;;
esac
STUB
printf '#!/bin/sh\ncase "$*" in *" xvfb") echo not-installed ;; *) echo installed ;; esac\n' >"$bin/dpkg-query"
printf '#!/bin/sh\ncase $1 in --print-architecture) echo amd64 ;; --print-foreign-*) echo i386 ;; esac\n' >"$bin/dpkg"
printf '#!/bin/sh\nexec "$@"\n' >"$bin/sudo"
printf '#!/bin/sh\n' >"$bin/sleep"
chmod +x "$bin"/*

# expect <args> <install fails: ""|1> <status> <text the log must hold> <apt-get calls>
expect() {
  export STUB_LOG=$bin/calls STUB_INSTALL_FAILS=$2
  : >"$STUB_LOG"
  local log status calls
  log=$(PATH=$bin:$PATH bash "$deps" $1 2>&1) status=$? calls=$(grep -c . "$STUB_LOG")
  [[ $status == "$3" && $log == *"$4"* && $calls == "$5" ]] && return
  printf 'deps.sh %s, install fails "%s": status %s (want %s), %s apt-get calls (want %s), and the log\n(must hold "%s"):\n%s\n' \
    "$1" "$2" $status "$3" $calls "$5" "$4" "$log"
  failed=1
}
going_on="apt-get update failed 3 times (index: bookworm-security/main i386 Packages); going on with the package lists there are"
expect "" "" 0 "$going_on" 4
expect --release "" 0 "$going_on" 4
expect "" 1 1 "deps: could not install xvfb: Unable to locate package xvfb" 4
exit $failed
