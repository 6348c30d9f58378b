#!/usr/bin/env bash
# Installs what is missing, then builds and runs the whole test suite:
#   1. the optimised build with warnings as errors: every test, window tests in a
#      private X server each (tessarine-xvfb-run), the real-time safety tests;
#   2. the unit tests again under AddressSanitizer and UndefinedBehaviorSanitizer;
#   3. the threading test under ThreadSanitizer;
#   4. a bounded fuzzing run of the whole host surface (FUZZ_SECONDS, default 60).
# The long runs (every float through the processor, ten-minute sessions) carry the
# label "exhaustive" and are left out; run them with
#   ctest --preset release -L exhaustive
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
jobs=$(nproc)

echo "== release build and tests"
cmake --preset release
cmake --build --preset release -j "$jobs"
ctest --preset release -j "$jobs" --label-exclude exhaustive

echo "== AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset asan
cmake --build --preset asan -j "$jobs"
ctest --preset asan -j "$jobs" --label-exclude exhaustive

echo "== ThreadSanitizer"
cmake --preset tsan
cmake --build --preset tsan -j "$jobs"
ctest --preset tsan --label-exclude exhaustive

echo "== fuzzing"
bash scripts/fuzz.sh "${FUZZ_SECONDS:-60}"
