#!/usr/bin/env bash
# Builds the INI reader's fuzzer (native clang, libFuzzer with address and undefined-behaviour checks)
# into build/fuzz and runs it for a minute on a copy of fuzz/corpus. Fails on a crash, a leak or any
# sanitizer report.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=$root/build/fuzz
seconds=${FUZZ_SECONDS:-60}
mkdir -p "$out"

"${CXX_FUZZ:-clang++}" -std=c++17 -g -O1 -Wall -Wextra \
  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -I"$root/src/toolkit" "$root/fuzz/ini_fuzz.cpp" "$root/src/toolkit/IniFiles.cpp" -o "$out/ini_fuzz"

# The fuzzer adds what it finds to its corpus: work on a copy, not on the seeds in the repository.
rm -rf "$out/corpus"
cp -r "$root/fuzz/corpus" "$out/corpus"

cd "$out"
status=0
"$out/ini_fuzz" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$out/" "$out/corpus" >"$out/fuzz.log" 2>&1 || status=$?
tail -n 25 "$out/fuzz.log"
if ((status != 0)) || grep -qE 'runtime error|ERROR: (Address|Leak|UndefinedBehavior)Sanitizer|==ERROR' "$out/fuzz.log"; then
  echo "fuzz: failed (exit $status), see $out/fuzz.log" >&2
  exit 1
fi
