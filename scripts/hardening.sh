#!/usr/bin/env bash
# Hardening runs, after the ordinary test suite:
#   1. the whole test suite again, built with AddressSanitizer and
#      UndefinedBehaviorSanitizer (build-asan/, g++), halting on the first report;
#   2. the libFuzzer targets (build-fuzz/, clang): first every committed
#      regression case, then each target for a bounded time from its seed corpus.
# Installs nothing: scripts/setup.sh installs the packages (HARDENING_PACKAGES).
# Needs no display, no sound device and no network. Prints one summary line per
# stage and exits non-zero as soon as a stage fails.
#
# QUILLET_FUZZ_SECONDS sets how long each fuzz target runs (default 30).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
asan_dir="$root/build-asan"
fuzz_dir="$root/build-fuzz"
fuzz_seconds="${QUILLET_FUZZ_SECONDS:-30}"
jobs="$(nproc)"
suppressions="$root/tests/sanitizers/lsan.supp"

scratch="$(mktemp -d "${TMPDIR:-/tmp}/quillet-hardening-XXXXXX")"
keep_scratch=0
cleanup() {
  if [ "$keep_scratch" = 0 ]; then rm -rf "$scratch"; fi
}
trap cleanup EXIT

summaries=()
summary() {
  summaries+=("$1")
  echo "hardening: $1"
}
fail() {
  summary "FAILED: $1"
  echo
  printf '%s\n' "${summaries[@]}"
  exit 1
}

export QT_QPA_PLATFORM=offscreen
export LSAN_OPTIONS="suppressions=$suppressions:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:check_initialization_order=1:strict_init_order=1"

# --- 1. The test suite under the sanitizers ---------------------------------------

start=$SECONDS
cmake -S "$root" -B "$asan_dir" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
  -DCMAKE_CXX_COMPILER=g++ -DQUILLET_SANITIZE=ON >"$scratch/asan-configure.log" 2>&1 ||
  { cat "$scratch/asan-configure.log"; fail "sanitizer build: configure"; }
# The build runs the test programs once to list their tests, under the
# sanitizers already.
cmake --build "$asan_dir" -j "$jobs" >"$scratch/asan-build.log" 2>&1 ||
  { tail -n 60 "$scratch/asan-build.log"; fail "sanitizer build"; }
summary "sanitizer build: done in $((SECONDS - start)) s"

# A report in a forked child or in a program that a test starts must be seen
# even where its exit status is not looked at. AddressSanitizer's reports (leaks
# included) also go to files of their own, written by children that run as the
# user nobody too; UndefinedBehaviorSanitizer's are found in the full output of
# every test.
reports="$scratch/reports"
chmod 0755 "$scratch"
mkdir -m 1777 "$reports"
start=$SECONDS
ctest_log="$scratch/asan-ctest.log"
set +e
ASAN_OPTIONS="$ASAN_OPTIONS:log_path=$reports/asan" \
  ctest --test-dir "$asan_dir" --verbose --no-tests=error -j "$jobs" >"$ctest_log" 2>&1
ctest_status=$?
set -e
report_files=("$reports"/*)
if [ -e "${report_files[0]}" ]; then
  for file in "${report_files[@]}"; do
    echo "--- $file"
    cat "$file"
  done
  fail "sanitizer tests: ${#report_files[@]} AddressSanitizer report(s), shown above"
fi
report_pattern='runtime error: |ERROR: (Address|Leak)Sanitizer|SUMMARY: [A-Za-z]+Sanitizer'
if grep -Eq "$report_pattern" "$ctest_log"; then
  grep -E -B 2 -A 20 "$report_pattern" "$ctest_log" | head -n 120
  fail "sanitizer tests: sanitizer report(s) in the test output, shown above"
fi
if [ "$ctest_status" -ne 0 ]; then
  # The lines of the failed tests (ctest numbers each line of a test's output)
  # and ctest's closing list.
  failed="$(sed -n 's/^ *[0-9]*\/[0-9]* Test *#\([0-9]*\):.*\*\*\*[FET].*/\1/p' "$ctest_log")"
  for number in $failed; do grep -E "^$number: " "$ctest_log" | tail -n 60; done
  sed -n '/^[0-9]*% tests passed/,$p' "$ctest_log"
  fail "sanitizer tests: $(grep -E '^[0-9]+% tests passed' "$ctest_log" || echo 'ctest failed')"
fi
summary "sanitizer tests: $(grep -E '^[0-9]+% tests passed' "$ctest_log"), no sanitizer report, $((SECONDS - start)) s"

# --- 2. Fuzzing --------------------------------------------------------------------

command -v clang++ >/dev/null 2>&1 || fail "fuzz build: clang++ is missing (scripts/setup.sh installs it)"
start=$SECONDS
cmake -S "$root" -B "$fuzz_dir" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
  -DCMAKE_CXX_COMPILER=clang++ -DQUILLET_FUZZ=ON -DQUILLET_BUILD_TESTS=OFF \
  >"$scratch/fuzz-configure.log" 2>&1 ||
  { cat "$scratch/fuzz-configure.log"; fail "fuzz build: configure"; }
cmake --build "$fuzz_dir" -j "$jobs" --target fuzz_rules fuzz_store >"$scratch/fuzz-build.log" 2>&1 ||
  { tail -n 60 "$scratch/fuzz-build.log"; fail "fuzz build"; }
summary "fuzz build: done in $((SECONDS - start)) s"

# Runs one target: its regression cases once each, then new inputs for
# $fuzz_seconds seconds. New corpus entries go to a scratch folder, so the
# committed corpus stays small.
fuzz_target() {
  local name="$1"
  local binary="$fuzz_dir/fuzz/fuzz_$name"
  local log="$scratch/fuzz-$name.log"
  local options=(-timeout=10 -rss_limit_mb=2048 -print_final_stats=1)
  if [ -f "$root/fuzz/$name.dict" ]; then options+=("-dict=$root/fuzz/$name.dict"); fi

  local regressions=("$root/fuzz/regressions/$name"/*)
  local regression_count=0
  if [ -e "${regressions[0]}" ]; then
    regression_count=${#regressions[@]}
    "$binary" "${options[@]}" "${regressions[@]}" >"$log" 2>&1 ||
      { tail -n 60 "$log"; fail "fuzz $name: a regression case fails again"; }
  fi

  local corpus="$scratch/corpus-$name"
  local artifacts="$scratch/artifacts-$name"
  mkdir -p "$corpus" "$artifacts"
  if ! "$binary" "${options[@]}" -max_total_time="$fuzz_seconds" -artifact_prefix="$artifacts/" \
    "$corpus" "$root/fuzz/corpus/$name" >"$log" 2>&1; then
    keep_scratch=1
    tail -n 60 "$log"
    echo
    echo "Reproducer(s) in $artifacts. Replay one with: $binary <file>"
    echo "Once fixed, commit it as fuzz/regressions/$name/<what it found>."
    fail "fuzz $name: crash or broken rule"
  fi
  local runs
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
  summary "fuzz $name: $regression_count regression case(s) pass, ${runs:-?} runs in ${fuzz_seconds} s, no crash"
}

fuzz_target rules
fuzz_target store

echo
echo "Hardening passed:"
printf '  %s\n' "${summaries[@]}"
