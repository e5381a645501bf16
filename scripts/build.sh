#!/usr/bin/env bash
# Installs what is missing, then configures and builds Quarrow:
#   scripts/build.sh [BUILD_DIR [CMAKE_OPTION...]]
#       everything: the program, the tests, the benchmarks (build/ by default)
#   scripts/build.sh --program [BUILD_DIR [CMAKE_OPTION...]]
#       only what running the program needs: quarrow, quarrow-catalogue, the
#       skin and the sample catalogues, with the packages for that alone
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/configure.sh
package_set=all
targets=()
if [ "${1:-}" = --program ]; then
  package_set=run
  targets=(--target quarrow quarrow-catalogue quarrow_samples)
  shift
fi
build_dir=${1:-build}
shift || true
configure_build "$package_set" "$build_dir" "$@"
cmake --build "$build_dir" -j "$(nproc)" "${targets[@]}"
