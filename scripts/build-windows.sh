#!/usr/bin/env bash
# Cross-builds Quarrow for 64-bit Windows on a Debian machine, with Debian's
# MinGW-w64 compilers.
#
#   scripts/build-windows.sh          the libraries, then Quarrow, its portable
#                                     folder build-windows/Quarrow-<version>-win64/,
#                                     that folder's zip and the MSI installer
#   scripts/build-windows.sh deps     only the libraries
#   scripts/build-windows.sh test     the libraries, then Quarrow with its tests
#                                     and its packages, and the Wine test pass
#   scripts/build-windows.sh --check  with Qt and the libraries built beside it
#                                     cached: libmdb if missing, then as test;
#                                     without them: say so and exit 0
#   scripts/build-windows.sh screenshots
#                                     the portable folder's program under Wine on a
#                                     virtual display, into docs/screenshots/windows-*.png
#
# The jobs live in scripts/lib/windows/: libraries.sh (Debian's source
# packages, cross-built into a cache), program.sh (Quarrow, the portable
# folder, its zip and the MSI), wine-tests.sh (the test suites, libmdb on the
# Jet fixtures and the MSI under Wine), screenshots.sh; common.sh has what
# they share. The cache is QUARROW_WINDOWS_CACHE (default
# ~/.cache/quarrow-windows), the build QUARROW_WINDOWS_BUILD (default
# build-windows/ in the source tree).
set -euo pipefail

usage() {
  sed -n '2,24p' "$0" | sed 's/^# \{0,1\}//'
}

command=all
case "${1:-}" in
  "") ;;
  deps) command=deps ;;
  test) command=test ;;
  screenshots) command=screenshots ;;
  --check) command=check ;;
  -h | --help) usage; exit 0 ;;
  *) usage >&2; exit 2 ;;
esac

repo=$(cd "$(dirname "$0")/.." && pwd)
for job in common libraries program wine-tests screenshots; do
  # shellcheck source=/dev/null
  source "$repo/scripts/lib/windows/$job.sh"
done

case $command in
  check)
    if ! long_builds_present; then
      echo "No complete set of Windows libraries in $cache; nothing to check."
      echo "Build them with: scripts/build-windows.sh deps"
      exit 0
    fi
    echo "Windows libraries found in $cache:"
    for name in "${release_libraries[@]}"; do
      echo "  $name: $(sed -n 's/^source: //p' "$cache/$name/build-key.txt")"
    done
    small_deps
    quarrow_tests
    ;;
  deps)
    deps
    summary
    ;;
  test)
    deps
    quarrow_tests
    ;;
  all)
    deps
    quarrow_package
    summary
    ;;
  screenshots)
    deps
    quarrow_package
    step_begin "screenshots under Wine"
    take_screenshots
    step_end
    summary
    ;;
esac
