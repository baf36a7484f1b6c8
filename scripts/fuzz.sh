#!/usr/bin/env bash
# Runs the link's libFuzzer target for a bounded time (default 60 s):
#   scripts/fuzz.sh [seconds]
# It configures its own clang build in build-fuzz/ (AddressSanitizer,
# UndefinedBehaviorSanitizer and libFuzzer), seeds the corpus with frames
# from fuzz/corpus/link, and fails on any crash, out-of-bounds read or hang.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
dir=build-fuzz
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cmake -S . -B "$dir" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
      -DQQC_FUZZ=ON -DQQC_BUILD_TESTS=OFF >/dev/null
cmake --build "$dir" --target link_fuzz -j2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus"
cp fuzz/corpus/link/* "$work/corpus"/ 2>/dev/null || true
export QT_QPA_PLATFORM=offscreen
# The progress lines go to a file; the whole of it is shown only on a failure.
log=$work/fuzz.log
if ! "$dir/bin/link_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=4096 -print_final_stats=1 "$work/corpus" >"$log" 2>&1; then
  cat "$log"
  exit 1
fi
grep -E '^(Done|stat::number_of_executed_units|stat::new_units_added)' "$log"
