#!/usr/bin/env bash
# Usage: i686-way_tests.sh <scripts/i686-way.sh>
# How KESTERLY_I686 and the machine decide the i686 run, with stand-ins for the kernel's probe and
# for both ways of running the suites.
way=$1 failed=0
# expect <KESTERLY_I686> <kernel: runs|refuses> <the way's Wine: there|missing|fails, or nowine32:
#        the machine's 32-bit Wine is not installed and the emulated one works>
#        <status> <way that started> <text the log must hold>
expect() {
  local stand_in_kernel=$2 stand_in_wine=$3
  log=$(
    exec 2>&1
    source "$way"
    i686_kernel_runs_i386() { [[ $stand_in_kernel == runs ]]; }
    i686_wine32_installed() { [[ $stand_in_wine != nowine32 ]]; }
    run_suites() { echo "ran native"; [[ $stand_in_wine == there ]] || return 76; }
    run_emulated() {
      [[ $stand_in_wine != missing ]] || { i686_cannot="no qemu"; return 75; }
      echo "ran emulated"
      [[ $stand_in_wine == there || $stand_in_wine == nowine32 ]] || return 8
    }
    KESTERLY_I686=$1
    i686_choose && run_i686
  )
  got="$? $(grep -o '^ran [a-z]*' <<<"$log" | cut -c5-)"
  if [[ $got != "$4 $5" || $log != *"$6"* ]]; then
    echo "$1, kernel $2, Wine $3: status and way $got, not $4 $5; or the log lacks \"$6\":"
    echo "$log"
    failed=1
  fi
}
expect "" runs there 0 native "== test i686: native (by default: this machine's kernel executes"
expect auto refuses there 0 emulated ""
expect auto runs nowine32 0 emulated ""
expect native runs nowine32 1 native "Wine could not run the i686 build's programs"
expect auto refuses missing 0 "" "not run: this machine's kernel does not execute 32-bit x86 programs, and CPU emulation cannot be set up here: no qemu"
expect native runs there 0 native "== test i686: native (chosen by KESTERLY_I686; this machine's kernel executes"
expect native runs missing 1 native "Wine could not run the i686 build's programs"
expect native refuses there 2 "" "native (chosen by KESTERLY_I686; this machine's kernel does not execute 32-bit x86 programs): cannot be had here"
expect emulated runs there 0 emulated ""
expect emulated runs fails 8 emulated ""
expect emulated refuses missing 1 "" "emulated (chosen by KESTERLY_I686; this machine's kernel does not execute 32-bit x86 programs): cannot be had here: no qemu"
expect Emulated runs there 2 "" "KESTERLY_I686=Emulated names no way"
exit $failed
