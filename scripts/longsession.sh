#!/usr/bin/env bash
# Long sessions under AddressSanitizer: the editor opened and closed 200 times, then
# ten minutes of processing with automation while the editor is open. Prints the
# memory and X resource figures (XRes) at the start and the end; LeakSanitizer
# reports any leak when the process ends. Exits non-zero when anything grew.
#
#   scripts/longsession.sh [SECONDS [CYCLES]]    (defaults 600 and 200)
#
# Builds the asan preset's longsessionT and runs it in a private X server
# (tessarine-xvfb-run, built with it). BUILD_DIR
# names another build folder (configured with the asan preset's settings when it is
# not configured yet).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${BUILD_DIR:-build/asan}
if [ ! -f "$build/build.ninja" ]; then
  cmake --preset asan -B "$build" >/dev/null
fi
cmake --build "$build" --target longsessionT tessarine-xvfb-run -j "${JOBS:-2}"

export TESSARINE_LONG_SECONDS=${1:-600}
export TESSARINE_LONG_CYCLES=${2:-200}
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
"$build/support/tessarine-xvfb-run" -s 1280x1024x24 "$build/tests/hardening/longsessionT"
