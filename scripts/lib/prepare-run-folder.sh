#!/usr/bin/env bash
# Fills build/run/ with the sample catalogues and the device-manager script
# that the build made in build/share/quarrow/. Files that are already there
# are kept, so a catalogue the user changed is never overwritten.
set -euo pipefail
cd "$(dirname "$0")/../.."
build_dir=${1:-build}
run_dir="$build_dir/run"
mkdir -p "$run_dir"
for name in vek.mdb dev.mdb dz.cmd; do
  if [ ! -e "$run_dir/$name" ] && [ -f "$build_dir/share/quarrow/$name" ]; then
    cp "$build_dir/share/quarrow/$name" "$run_dir/$name"
  fi
done
