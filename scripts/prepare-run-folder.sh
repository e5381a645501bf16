#!/usr/bin/env bash
# Fills build/run/ with the sample catalogues and the device-manager script.
# Files that are already there are kept, so a catalogue the user changed is
# never overwritten.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build}
run_dir="$build_dir/run"
mkdir -p "$run_dir"
tool="$build_dir/quarrow-catalogue"
if [ ! -e "$run_dir/vek.mdb" ] && [ -x "$tool" ]; then
  "$tool" sample --rows 5000 --password kavrel "$run_dir/vek.mdb"
fi
if [ ! -e "$run_dir/dev.mdb" ] && [ -x "$tool" ] && "$tool" --help 2>&1 | grep -q devices; then
  "$tool" devices --password kavrel "$run_dir/dev.mdb"
fi
if [ ! -e "$run_dir/dz.cmd" ] && [ -f scripts/dz.cmd ]; then
  cp scripts/dz.cmd "$run_dir/dz.cmd"
fi
