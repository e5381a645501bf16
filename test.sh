#!/usr/bin/env bash
# Sets everything up and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")"
scripts/build.sh build
scripts/lib/prepare-run-folder.sh build
export QT_QPA_PLATFORM=offscreen
cd build
ctest --output-on-failure -j "$(nproc)" "$@"
