# The one way a Linux build folder is configured, sourced by scripts/build.sh
# and scripts/screenshots.sh:
#
#   configure_build PACKAGE_SET BUILD_DIR [CMAKE_OPTION...]
#
# Installs scripts/setup.sh's PACKAGE_SET ("run": what the program alone
# needs; "all": the tests' too), then configures BUILD_DIR from the source
# tree with Ninja when it is there. A first configuration for the program
# alone leaves the tests out, so it needs none of their packages; with "all"
# the tests are turned on, also in a folder first configured without them.

configure_build() {
  local package_set=$1 build_dir=$2
  shift 2
  local source_dir
  source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
  "$source_dir/scripts/setup.sh" "$package_set"
  local options=()
  if [ ! -f "$build_dir/CMakeCache.txt" ]; then
    if command -v ninja >/dev/null 2>&1; then options+=(-G Ninja); fi
    if [ "$package_set" = run ]; then options+=(-DQUARROW_TESTS=OFF); fi
  fi
  if [ "$package_set" = all ]; then options+=(-DQUARROW_TESTS=ON); fi
  cmake -S "$source_dir" -B "$build_dir" "${options[@]}" "$@" >/dev/null
}
