#!/usr/bin/env bash
# 32-bit Windows programs on a machine whose kernel executes no 32-bit x86 code at all, or, when
# asked (KESTERLY_I686=emulated, scripts/i686-way.sh), on one whose kernel does.
#
#   bash scripts/emu32.sh setup          prepares build/emu32 (kept there; quick once done)
#   bash scripts/emu32.sh run CMD [ARG]  runs CMD there, in the current folder
#   bash scripts/emu32.sh version        the qemu-i386 that runs there
#
# KESTERLY_EMU32_DIR puts it elsewhere than build/emu32; KESTERLY_EMU32_MIRROR names the Debian
# mirror to use instead of the machine's own.
#
# Debian's 32-bit Wine (wine32:i386) runs inside an amd64 Debian 12 root (build/emu32/root),
# and every 32-bit Linux program there, its loader first, runs under qemu-user's i386 CPU
# emulation.  Nothing of it touches the machine: the root is entered in a private user, mount and
# PID namespace, qemu-i386 is registered in that namespace's own binfmt_misc (Linux 6.7 and
# later), and the machine's packages and binfmt_misc stay as they are.  The work tree is bound
# into the root at its own absolute path (the CTest files name absolute paths), and so are the X
# server's sockets; whatever CMD leaves running ends with it.
#
# qemu-user comes from Debian 12's bookworm-backports, unpacked with dpkg-deb from a download
# made with a private package list: its install scripts never run.  It must be version 10 or
# later: bookworm's own 7.2 ignores Wine's MAP_FIXED_NOREPLACE reservations, and each 32-bit
# process then spends about a minute starting.
#
# setup exits 75 with one line on why, when this machine cannot have the emulation (not root,
# no user namespaces, the package gone from the mirror, too old a qemu).  It prints the qemu
# version that runs.  Run as root: debootstrap and the namespace's uid map need it.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
base=${KESTERLY_EMU32_DIR:-$repo/build/emu32}
root=$base/root
qemu=$base/qemu/usr/bin/qemu-i386
ready=$root/.kesterly-emu32

# What the root holds besides minbase: Wine for both architectures with the X libraries it loads
# at run time, Wine's fonts, and what the test run itself calls (ctest, the i686 objdump).
x_libs=(libxrender1 libxrandr2 libxi6 libxcursor1 libxcomposite1 libxfixes3 libxinerama1 libxxf86vm1)
root_packages=(wine wine64 wine32:i386 fonts-wine procps cmake binutils-mingw-w64-i686
               "${x_libs[@]}" "${x_libs[@]/%/:i386}")

say() { echo "emu32: $*"; }
cannot() { say "$*"; exit 75; }

mirror() {
  local uri=${KESTERLY_EMU32_MIRROR:-}
  [[ -z $uri ]] || { echo "$uri"; return; }
  uri=$(awk '/^URIs:/ {print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)
  [[ -n $uri ]] || uri=$(awk '/^deb / {print $2; exit}' /etc/apt/sources.list 2>/dev/null || true)
  echo "${uri:-http://deb.debian.org/debian}"
}

qemu_version() { "$qemu" --version 2>/dev/null | sed -n '1s/^qemu-i386 version \([0-9.]*\).*/\1/p'; }

fetch_qemu() {
  local apt=$base/apt deb
  [[ -x $qemu && $(qemu_version) ]] && return 0
  mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/dl"
  echo "deb $(mirror) bookworm-backports main" >"$apt/sources.list"
  local opts=(-o "Dir::Etc::SourceList=$apt/sources.list" -o Dir::Etc::SourceParts=/dev/null
              -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache"
              -o APT::Architectures::=amd64 -o APT::Sandbox::User=root -q)
  apt-get "${opts[@]}" update >"$base/apt.log" 2>&1 || cannot "cannot read bookworm-backports' package list (see $base/apt.log)"
  rm -f "$apt/dl"/*.deb
  (cd "$apt/dl" && apt-get "${opts[@]}" download qemu-user/bookworm-backports) >>"$base/apt.log" 2>&1 ||
    cannot "qemu-user could not be downloaded from bookworm-backports (see $base/apt.log)"
  deb=$(echo "$apt/dl"/qemu-user_*.deb)
  rm -rf "$base/qemu"
  dpkg-deb -x "$deb" "$base/qemu"
  [[ -x $qemu ]] || cannot "$(basename "$deb") holds no qemu-i386"
}

# ns_run CMD...: CMD in the root, inside the namespaces described at the top.
ns_run() {
  local fifo pid status=0
  fifo=$(mktemp -u "$base/.fifo.XXXXXX")
  mkfifo "$fifo"
  # The child waits on the fifo until its uid and gid maps are written from out here.
  # Flags PF: qemu sees the program's own name (P), and is opened now, from this machine's
  # file system, so that the root needs no qemu of its own (F).
  local inner='
set -e
read -r _ <"$FIFO"
R=$ROOT
mount -t proc proc "$R/proc"
mount -t binfmt_misc binfmt_misc "$R/proc/sys/fs/binfmt_misc"
printf "%s" ":qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:$QEMU:PF" \
  >"$R/proc/sys/fs/binfmt_misc/register"
mount --rbind /sys "$R/sys"
mount --rbind /dev "$R/dev"
mkdir -p "$R/tmp/.X11-unix" "$R$REPO"
[ -d /tmp/.X11-unix ] && mount --bind /tmp/.X11-unix "$R/tmp/.X11-unix"
mount --bind "$REPO" "$R$REPO"
cp -f /etc/resolv.conf "$R/etc/resolv.conf" 2>/dev/null || true
exec chroot "$R" /usr/bin/env -i HOME=/root TERM="${TERM:-dumb}" LANG=C.UTF-8 \
  PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin "$@"
'
  # The arguments: the variables handed in, then CMD, started in the current folder.
  local args=() v
  for v in DISPLAY CI $(compgen -e | grep -E '^(KESTERLY_|GTEST_|CTEST_)' || true); do
    [[ -n ${!v:-} ]] && args+=("$v=${!v}")
  done
  args+=(/bin/sh -c 'cd "$0" && exec "$@"' "$PWD" "$@")
  FIFO=$fifo ROOT=$root REPO=$repo QEMU=$base/qemu/usr/libexec/qemu-binfmt/i386-binfmt-P \
    unshare --user --mount --pid --fork --kill-child bash -c "$inner" bash "${args[@]}" &
  pid=$!
  trap 'kill "$pid" 2>/dev/null; rm -f "$fifo"; exit 143' TERM
  trap 'kill "$pid" 2>/dev/null; rm -f "$fifo"; exit 130' INT
  local i
  for ((i = 0; i < 200; i++)); do
    [[ $(readlink "/proc/$pid/ns/user" 2>/dev/null) != "$(readlink /proc/self/ns/user)" ]] && break
    sleep 0.05
  done
  echo "0 0 65536" >"/proc/$pid/uid_map" && echo "0 0 65536" >"/proc/$pid/gid_map" ||
    { kill "$pid" 2>/dev/null; rm -f "$fifo"; cannot "cannot map the user namespace's ids"; }
  echo go >"$fifo"
  wait "$pid" || status=$?
  rm -f "$fifo"
  trap - TERM INT
  return $status
}

setup() {
  [[ $(id -u) == 0 ]] || cannot "needs root (debootstrap, the namespace's uid map)"
  [[ $(dpkg --print-architecture 2>/dev/null) == amd64 ]] || cannot "needs an amd64 Debian"
  unshare --user --mount --pid --fork true 2>/dev/null || cannot "this kernel gives no user namespaces"
  command -v debootstrap >/dev/null ||
    cannot "debootstrap is not installed (KESTERLY_I686=emulated bash scripts/deps.sh installs it)"
  mkdir -p "$base"
  fetch_qemu
  local version
  version=$(qemu_version)
  [[ ${version%%.*} -ge 10 ]] || cannot "qemu-i386 $version is too old (10 or later is needed)"

  local want="${root_packages[*]}"
  if [[ ! -f $ready || $(cat "$ready") != "$want" ]]; then
    if [[ ! -x $root/usr/bin/apt-get ]]; then
      say "making a Debian 12 root in $root (once; about a minute)"
      rm -rf "$root"
      unshare --mount debootstrap --variant=minbase bookworm "$root" "$(mirror)" >"$base/debootstrap.log" 2>&1 ||
        { rm -rf "$root"; cannot "debootstrap failed (see $base/debootstrap.log)"; }
    fi
    say "installing Wine into the root (once; about a minute)"
    # Inside the namespace, so that the i386 packages' scripts run under qemu.
    ns_run /bin/sh -c "dpkg --add-architecture i386 && apt-get update -q &&
      DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $want && apt-get clean" \
      >"$base/root-apt.log" 2>&1 || cannot "Wine could not be installed into the root (see $base/root-apt.log)"
    echo "$want" >"$ready"
  fi
  # The proof: a 32-bit Linux program runs in there, under qemu-i386, even where the kernel would
  # run it itself.
  local ran
  ran=$(ns_run bash "$repo/scripts/runs-i386.sh" --under qemu-i386) ||
    cannot "qemu-i386 $version does not run 32-bit programs in the namespace (the probe ran as $ran)"
  say "qemu-i386 $version ready in $base ($SECONDS s): a 32-bit probe in the namespace ran under $ran"
}

case ${1:-} in
  setup) setup ;;
  run) shift; [[ -f $ready ]] || cannot "not set up: bash scripts/emu32.sh setup"; ns_run "$@" ;;
  version) "$qemu" --version | head -1 ;;
  *) echo "usage: bash scripts/emu32.sh setup | run CMD [ARG...] | version" >&2; exit 2 ;;
esac
