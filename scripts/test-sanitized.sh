#!/usr/bin/env bash
# Builds Quarrow with AddressSanitizer, UndefinedBehaviorSanitizer and
# LeakSanitizer in build-sanitize/ and runs the whole test suite there.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${SANITIZE_BUILD_DIR:-build-sanitize}
scripts/build.sh "$build_dir" -DQUARROW_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
export QT_QPA_PLATFORM=offscreen
# intercept_tls_get_addr=0: with GCC 12's LeakSanitizer, the dynamic thread-local
# blocks it records for threads that have ended can hold a bogus range
# (seen as "DTLS 10 at 0x000000000ac0-..."), and its tracer then crashes at
# the exit leak check ("Tracer caught signal 11") instead of checking.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1:intercept_tls_get_addr=0
export LSAN_OPTIONS=suppressions=$PWD/tests/sanitizer/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
# The sanitized run checks fewer generated texts; the normal run does them all.
export QUARROW_HOSTILE_TEXTS=${QUARROW_HOSTILE_TEXTS:-10000}
cd "$build_dir"
ctest --output-on-failure -j "$(nproc)" "$@"
