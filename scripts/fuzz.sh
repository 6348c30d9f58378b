#!/usr/bin/env bash
# Builds the fuzzers (clang, libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer,
# warnings as errors): the host surface of the described plug-in (hostfuzzer) and of
# "+tessarine HQ" (hqhostfuzzer), and the LV2 processors of both (lv2fuzzer); runs them
# for a bounded time, shared among them.
# Exits non-zero on any finding: a crash, a sanitizer report, a leak, a failed
# check of the harness, or an input that runs too long.
#
#   scripts/fuzz.sh [SECONDS]          fuzz for SECONDS (default 60)
#   scripts/fuzz.sh --coverage         line coverage of the plug-in's sources reached by
#                                      the seeds and the corpora grown so far (both
#                                      host-surface fuzzers)
#
# The editor opens for real in a private X server (Xvfb), so sequences reach the
# open editor; FUZZ_DISPLAY=0 fuzzes without a display instead.
#
# The corpora grow in build/fuzz/corpus and build/fuzz/corpus-hq (both seeded from
# fuzz/corpus, and from the inputs of past findings in tests/hardening/findings, which
# every run replays first under clang's sanitizers) and build/fuzz/corpus-lv2 (seeded
# from fuzz/corpus-lv2); a finding is written to build/fuzz/findings/. To keep one as a
# regression, copy it to tests/hardening/findings/ (fuzzreplayT and hqfuzzreplayT replay
# that directory) and write a test case for it; HOSTFUZZER_TRACE=1 build/fuzz/hostfuzzer
# FILE (or hqhostfuzzer) prints its actions.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=${FUZZ_JOBS:-2}
build=build/fuzz

configure() {
  local dir=$1
  shift
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S fuzz -B "$dir" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ "$@" \
      >"$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; exit 2; }
  fi
  cmake --build "$dir" --target hostfuzzer hqhostfuzzer lv2fuzzer tessarine-xvfb-run -j "$jobs"
  xvfbRun=$dir/tessarine-xvfb-run
}

# Runs a command with the harness's display (a private X server of its own), or
# without one.
withDisplay() {
  if [ "${FUZZ_DISPLAY:-1}" = 1 ]; then
    HOSTFUZZER_DISPLAY=1 "$xvfbRun" -s 1024x768x24 "$@"
  else
    "$@"
  fi
}

mkdir -p build
if [ "${1:-}" = "--coverage" ]; then
  # The same harnesses with clang's source coverage instead of the sanitizers, run
  # once over the seeds and the grown corpora; one report over both.
  configure build/fuzz-coverage -DFUZZ_COVERAGE=ON
  coverage=build/fuzz-coverage
  mkdir -p "$build/corpus" "$build/corpus-hq"
  LLVM_PROFILE_FILE=$coverage/hostfuzzer.profraw withDisplay $coverage/hostfuzzer -runs=0 \
    "$build/corpus" fuzz/corpus >/dev/null 2>&1
  LLVM_PROFILE_FILE=$coverage/hqhostfuzzer.profraw withDisplay $coverage/hqhostfuzzer -runs=0 \
    "$build/corpus-hq" fuzz/corpus >/dev/null 2>&1
  llvm-profdata merge -sparse $coverage/hostfuzzer.profraw $coverage/hqhostfuzzer.profraw \
    -o $coverage/hostfuzzer.profdata
  llvm-cov report $coverage/hostfuzzer -object $coverage/hqhostfuzzer \
    -instr-profile=$coverage/hostfuzzer.profdata src/vst src/tessarine src/gui src/controls
  exit 0
fi

seconds=${1:-60}
configure "$build"
mkdir -p "$build/corpus" "$build/corpus-hq" "$build/corpus-lv2" "$build/findings"
# fontconfig's process-lifetime caches (text in the editor's controls) are not leaks.
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# Runs one fuzzer over its corpus for a number of seconds; 1 on any finding.
fuzz() {
  local name=$1 secs=$2
  shift 2
  local status=0
  "$@" -max_total_time="$secs" -timeout=10 -rss_limit_mb=2048 -max_len=8192 \
    -print_final_stats=1 -artifact_prefix="$build/findings/" 2>"$build/$name.log" || status=$?
  grep -E "DONE|^stat::" "$build/$name.log" || true
  if [ "$status" -ne 0 ]; then
    grep -E "ERROR|runtime error|fuzzer:|SUMMARY|Test unit written" "$build/$name.log" || true
    echo "fuzz.sh: $name finding (exit status $status); log in $build/$name.log" >&2
    return 1
  fi
}

# The VST host surface gets three quarters of the time, split between the described
# plug-in and HQ; the LV2 processors (both, chosen by each input) the rest.
lv2seconds=$(( seconds / 4 > 1 ? seconds / 4 : 1 ))
hqseconds=$(( (seconds - lv2seconds) / 2 > 1 ? (seconds - lv2seconds) / 2 : 1 ))
hostseconds=$(( seconds - lv2seconds - hqseconds > 1 ? seconds - lv2seconds - hqseconds : 1 ))
fuzz hostfuzzer "$hostseconds" withDisplay "$build/hostfuzzer" "$build/corpus" \
  fuzz/corpus tests/hardening/findings || exit 1
fuzz hqhostfuzzer "$hqseconds" withDisplay "$build/hqhostfuzzer" "$build/corpus-hq" \
  fuzz/corpus tests/hardening/findings || exit 1
fuzz lv2fuzzer "$lv2seconds" "$build/lv2fuzzer" "$build/corpus-lv2" fuzz/corpus-lv2 || exit 1
echo "fuzz.sh: no finding in $seconds s"
