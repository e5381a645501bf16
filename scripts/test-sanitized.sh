#!/usr/bin/env bash
# Builds Quarrow with AddressSanitizer, UndefinedBehaviorSanitizer and
# LeakSanitizer in build-sanitize/ and runs the whole test suite there.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${SANITIZE_BUILD_DIR:-build-sanitize}
scripts/build.sh "$build_dir" -DQUARROW_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1
export LSAN_OPTIONS=suppressions=$PWD/tests/sanitizer/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
# The sanitized run checks fewer generated texts; the normal run does them all.
export QUARROW_HOSTILE_TEXTS=${QUARROW_HOSTILE_TEXTS:-10000}
cd "$build_dir"
log=Testing/sanitized-run.log
mkdir -p Testing
if ctest --output-on-failure -j "$(nproc)" "$@" 2>&1 | tee "$log"; test "${PIPESTATUS[0]}" -eq 0; then
  exit 0
fi
# LeakSanitizer's own stop-the-world tracer now and then crashes while it
# suspends the threads of a process that is ending ("Tracer caught signal 11"),
# after every test of the suite has passed; that says nothing about our code.
# Only then are the failed suites run once more; a real leak or a failed test
# fails again.
if grep -q 'Tracer caught signal' "$log" && grep -q 'LeakSanitizer has encountered a fatal error' "$log"; then
  echo "test-sanitized: LeakSanitizer's tracer crashed; running the failed suites once more" >&2
  ctest --output-on-failure --rerun-failed
else
  exit 1
fi
