#!/usr/bin/env bash
# Builds everything and runs every test: once in a normal build, then a
# bounded fuzz run of the receive path, then every test again under
# AddressSanitizer + UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

./scripts/build.sh build
(cd build && ctest --output-on-failure -j2 --timeout 300)

# A bounded libFuzzer run over the link's receive path and test-record decoder.
./scripts/fuzz.sh "${QQC_FUZZ_SECONDS:-60}"

./scripts/build.sh build-asan -DQQC_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
# The two-station soak test sends for QQC_SOAK_SECONDS (55 in the normal pass).
(cd build-asan && QQC_SOAK_SECONDS="${QQC_SOAK_SECONDS:-15}" ctest --output-on-failure -j2 --timeout 600)
