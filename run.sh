#!/usr/bin/env bash
# Sets everything up and starts Quarrow with the sample catalogues.
set -euo pipefail
cd "$(dirname "$0")"
scripts/build.sh build
scripts/prepare-run-folder.sh build
cd build/run
exec ../quarrow
