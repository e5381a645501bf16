#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer and runs each on a copy of its seed corpus.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]
#
# SECONDS per target, 30 by default; all targets unless some are named.
# The build folder is build-fuzz/ in the source tree, or $FUZZ_BUILD_DIR.
# The targets run one after another, each in one process. Exits non-zero when any target reports a crash, a leak, a timeout, running
# out of memory or a sanitizer error; what it found is kept in
# <build folder>/fuzz-artifacts/<target>/ with the log of the run.
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD

duration=${1:-30}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(fuzz_connection_string fuzz_like fuzz_skin fuzz_skin_archive fuzz_ids fuzz_tsv fuzz_jet)
fi
if ! [[ "$duration" =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: scripts/fuzz.sh [SECONDS] [TARGET...]" >&2
  exit 2
fi

scripts/setup.sh

build_dir=${FUZZ_BUILD_DIR:-$source_dir/build-fuzz}
generator=()
if command -v ninja >/dev/null 2>&1 && [ ! -f "$build_dir/CMakeCache.txt" ]; then
  generator=(-G Ninja)
fi
CC=clang CXX=clang++ cmake -S . -B "$build_dir" "${generator[@]}" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARROW_SANITIZE=ON -DQUARROW_FUZZ=ON >/dev/null
cmake --build "$build_dir" --target "${targets[@]}" -j "${FUZZ_BUILD_JOBS:-$(nproc)}"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A smaller quarantine than the default keeps the leak checks, which run
# after every input that leaves memory behind in a cache, from taking most
# of the time; use after free within one input is still caught.
export ASAN_OPTIONS=detect_leaks=1:quarantine_size_mb=32:${ASAN_OPTIONS:-}
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:${UBSAN_OPTIONS:-}
export QT_QPA_PLATFORM=offscreen

failed=()
for target in "${targets[@]}"; do
  corpus=$work/$target/corpus
  artifacts=$build_dir/fuzz-artifacts/$target
  mkdir -p "$corpus" "$work/$target/tmp" "$artifacts"
  cp -R "fuzz/corpus/$target/." "$corpus/"
  if [ "$target" = fuzz_jet ]; then
    # The Jet catalogues of the test suites, those Access itself wrote among
    # them, are the seeds; the corpus folder adds the findings.
    cp tests/fixtures/jet/*.mdb tests/fixtures/jet/access-written/*.mdb "$corpus/"
  fi
  log=$artifacts/fuzz.log
  status=0
  (cd "$work/$target" && TMPDIR=$work/$target/tmp "$build_dir/fuzz/$target" \
    -max_total_time="$duration" -timeout=10 -rss_limit_mb=2048 -detect_leaks=1 \
    -print_final_stats=1 -artifact_prefix="$artifacts/" \
    "$corpus" >"$log" 2>&1) || status=$?
  stats=$(grep -E '^#[0-9]+[[:space:]]+(DONE|pulse|NEW|REDUCE|INITED)' "$log" | tail -n 1 || true)
  if [ "$status" -ne 0 ] || grep -qE '^(==[0-9]+== ?ERROR|SUMMARY: )|runtime error:' "$log"; then
    failed+=("$target")
    echo "$target: FAILED (exit $status); see $log"
    grep -E '^(==[0-9]+== ?ERROR|SUMMARY: )|runtime error:|Test unit written' "$log" | head -n 5 || true
  else
    echo "$target: ${stats:-no statistics}"
  fi
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "Fuzzing found faults in: ${failed[*]}" >&2
  exit 1
fi
