#!/usr/bin/env bash
# Takes the screenshots shown in the README: the windows, a message
# dialog and a message box, with the plain look and with the skin Shine, on
# a virtual X display at 96 dots per inch. Writes docs/screenshots/.
# Usage: scripts/screenshots.sh [build folder]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/configure.sh
build_dir=${1:-build}
configure_build all "$build_dir"
# The screenshots are taken by a program among the tests.
cmake --build "$build_dir" --target skin_screenshots quarrow_skin
xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" \
  "$build_dir/tests/skin/skin_screenshots" docs/screenshots "$build_dir"
