#!/usr/bin/env bash
# Installs what building and running Quarrow needs, builds the program, the
# catalogue builder and the sample catalogues, and starts Quarrow with them.
set -euo pipefail
cd "$(dirname "$0")"
scripts/build.sh --program build
scripts/lib/prepare-run-folder.sh build
cd build/run
exec ../quarrow
