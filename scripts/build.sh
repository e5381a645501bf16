#!/usr/bin/env bash
# Installs what is missing, then configures and builds Quarrow:
#   scripts/build.sh [BUILD_DIR [CMAKE_OPTION...]]
#       everything: the program, the tests, the benchmarks (build/ by default)
#   scripts/build.sh --program [BUILD_DIR [CMAKE_OPTION...]]
#       only what running the program needs: quarrow, quarrow-catalogue, the
#       skin and the sample catalogues, with the packages for that alone
set -euo pipefail
cd "$(dirname "$0")/.."
package_set=all
targets=()
if [ "${1:-}" = --program ]; then
  package_set=run
  targets=(--target quarrow quarrow-catalogue quarrow_samples)
  shift
fi
scripts/setup.sh "$package_set"
build_dir=${1:-build}
shift || true
options=()
if [ ! -f "$build_dir/CMakeCache.txt" ]; then
  if command -v ninja >/dev/null 2>&1; then options+=(-G Ninja); fi
  # A first configuration for the program alone leaves the tests out, so it
  # needs none of their packages; a later full build turns them on.
  if [ "$package_set" = run ]; then options+=(-DQUARROW_TESTS=OFF); fi
fi
if [ "$package_set" = all ]; then options+=(-DQUARROW_TESTS=ON); fi
cmake -S . -B "$build_dir" "${options[@]}" "$@" >/dev/null
cmake --build "$build_dir" -j "$(nproc)" "${targets[@]}"
