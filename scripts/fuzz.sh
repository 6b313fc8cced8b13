#!/usr/bin/env bash
# Builds the fuzzers of the INI reader and of the reader of Steam's text files (native clang,
# libFuzzer with address and undefined-behaviour checks) into build/fuzz and runs each on a copy of
# its corpus: the INI reader for a minute (FUZZ_SECONDS), the other for 20 s (VDF_FUZZ_SECONDS).
# Fails on a crash, a leak or any sanitizer report.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=$root/build/fuzz
mkdir -p "$out"

# fuzz <name> <seconds> <corpus folder> <sources...>
fuzz() {
  local name=$1 seconds=$2 corpus=$3 status=0
  shift 3
  "${CXX_FUZZ:-clang++}" -std=c++17 -g -O1 -Wall -Wextra \
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    -I"$root/src/toolkit" "$@" -o "$out/$name"
  # The fuzzer adds what it finds to its corpus: work on a copy, not on the seeds in the repository.
  rm -rf "$out/$name-corpus"
  cp -r "$corpus" "$out/$name-corpus"
  (cd "$out" && "$out/$name" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$out/$name-" "$out/$name-corpus" >"$out/$name.log" 2>&1) || status=$?
  tail -n 25 "$out/$name.log"
  if ((status != 0)) || grep -qE 'runtime error|ERROR: (Address|Leak|UndefinedBehavior)Sanitizer|==ERROR' "$out/$name.log"; then
    echo "fuzz: $name failed (exit $status), see $out/$name.log" >&2
    return 1
  fi
}

fuzz ini_fuzz "${FUZZ_SECONDS:-60}" "$root/fuzz/corpus" "$root/fuzz/ini_fuzz.cpp" "$root/src/toolkit/IniFiles.cpp"
fuzz vdf_fuzz "${VDF_FUZZ_SECONDS:-20}" "$root/fuzz/vdf_corpus" "$root/fuzz/vdf_fuzz.cpp" "$root/src/toolkit/VdfFiles.cpp"
