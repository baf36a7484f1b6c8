#!/usr/bin/env bash
# Runs the libFuzzer targets (the link's receive side, the generic-file
# reader), each for a bounded time (default 60 s):
#   scripts/fuzz.sh [seconds]
# It configures its own clang build in build-fuzz/ (AddressSanitizer,
# UndefinedBehaviorSanitizer and libFuzzer), seeds each corpus from
# fuzz/corpus/<name>, and fails on any crash, out-of-bounds read or hang.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
dir=build-fuzz
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cmake -S . -B "$dir" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
      -DQQC_FUZZ=ON -DQQC_BUILD_TESTS=OFF >/dev/null
cmake --build "$dir" --target link_fuzz generic_file_fuzz -j2
export QT_QPA_PLATFORM=offscreen
# Each target gets the time; its corpus is seeded from fuzz/corpus/<name>.
# The progress lines go to a file; the whole of it is shown only on a failure.
for target in link:link_fuzz generic:generic_file_fuzz; do
  seeds=${target%%:*}
  binary=${target##*:}
  work=$(mktemp -d)
  mkdir -p "$work/corpus"
  cp fuzz/corpus/"$seeds"/* "$work/corpus"/ 2>/dev/null || true
  log=$work/fuzz.log
  if ! "$dir/bin/$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -max_len=4096 -print_final_stats=1 "$work/corpus" >"$log" 2>&1; then
    cat "$log"
    rm -rf "$work"
    exit 1
  fi
  echo "$binary:"
  grep -E '^(Done|stat::number_of_executed_units|stat::new_units_added)' "$log"
  rm -rf "$work"
done
