#!/usr/bin/env bash
# Installs what is missing, then configures and builds Quarrow in build/
# (or in the folder given as the first argument, with extra CMake options after it).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
build_dir=${1:-build}
shift || true
generator=()
if command -v ninja >/dev/null 2>&1 && [ ! -f "$build_dir/CMakeCache.txt" ]; then generator=(-G Ninja); fi
cmake -S . -B "$build_dir" "${generator[@]}" "$@" >/dev/null
cmake --build "$build_dir" -j "$(nproc)"
