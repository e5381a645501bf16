#!/usr/bin/env bash
# Installs the Debian packages Quarrow needs. Three sets:
#   scripts/setup.sh run      what building and running the program needs (./run.sh)
#   scripts/setup.sh          that and what the tests, benchmarks, fuzzing and
#                             packaging need (./test.sh, CI)
#   scripts/setup.sh windows  what scripts/build-windows.sh needs to build Quarrow
#                             for Windows and run it under Wine
# Only missing packages are installed, after saying which and why; a machine
# that has them all is left alone.
set -euo pipefail

# Each entry: the packages, then "|" and why they are needed.
run_set=(
  "build-essential cmake ninja-build pkg-config|the C++ compiler and the build tools"
  "qt6-base-dev qt6-base-dev-tools libgl-dev|Qt 6 Widgets, the program's toolkit"
  "libsqlite3-dev|SQLite, the catalogues' database engine"
  "libzip-dev zipcmp zipmerge ziptool|libzip, which reads the packed skin (its CMake files name the zip tools)"
  "mdbtools-dev|libmdb, with which quarrow-catalogue reads the Jet catalogues (Access .mdb) it converts"
  "pci.ids usb.ids|the PCI and USB registries the sample catalogues are built from"
  "fonts-liberation fonts-dejavu-core|faces for the fonts the windows ask for"
  "xdg-utils|xdg-open, which hands download addresses to the web browser"
)
test_set=(
  "sqlite3|the sqlite3 shell, which the device window's tests use"
  "clang clang-format libclang-rt-14-dev|clang for the sanitizer and fuzzing builds, clang-format for scripts/format.sh"
  "libbenchmark-dev ripgrep|Google Benchmark and ripgrep for the benchmarks in bench/"
  "xvfb xauth x11-apps imagemagick librsvg2-bin|a virtual display for scripts/screenshots.sh and the artwork tools"
  "dpkg-dev file|dpkg-shlibdeps, with which cpack reads the package's dependencies off the programs"
  "lintian desktop-file-utils appstream|the checkers of the Debian package, the desktop entry and the AppStream metadata"
  "libglib2.0-bin|gio launch, which starts the installed desktop entry as GLib-based desktops do"
  "debootstrap|a fresh Debian root for scripts/check-fresh-machine.sh"
  "pciutils|lspci, against which the device list is checked on this machine"
  "mdbtools|mdb-export, the yardstick bench/compare.sh measures the conversion of a Jet catalogue against"
)
windows_set=(
  "g++-mingw-w64-x86-64-posix|the Windows compilers; the posix thread variant, which has std::thread and std::mutex"
  "qt6-base-dev qt6-base-dev-tools libgl-dev|Qt's tools and their CMake files, of the same version as the Qt built for Windows"
  "dpkg-dev xz-utils bzip2|dpkg-source, to unpack Debian's source packages of Qt, SQLite, libzip, zlib and mdbtools"
  "cmake ninja-build pkg-config make gcc tcl|the build tools; SQLite's source generators need a C compiler and Tcl"
  "autoconf automake libtool gettext|autoreconf, since Debian's source of mdbtools (libmdb) has no configure script; gettext has the macros of its iconv check"
  "pci.ids usb.ids|the PCI and USB registries the sample catalogues are built from"
  "wine wine64 fonts-wine|runs the Windows programs: the sample catalogues' builder and the tests; Wine's own faces (Tahoma, Marlett) for its window frames"
  "fonts-liberation|the faces the tests under Wine draw with (offscreen)"
  "xvfb xauth xdotool imagemagick|a virtual display for the program under Wine, typing into it and its screenshots"
  "zip|packs the portable folder"
  "wixl msitools|wixl makes the MSI installer; msiinfo and msiextract read it back"
  "icoutils|wrestool, which lists the resources (version, icon, manifest) of the built programs"
)

case "${1:-all}" in
  run) sets=("${run_set[@]}") ;;
  all) sets=("${run_set[@]}" "${test_set[@]}") ;;
  windows) sets=("${windows_set[@]}") ;;
  *) echo "usage: scripts/setup.sh [run|all|windows]" >&2; exit 2 ;;
esac

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

missing=()
reasons=()
for entry in "${sets[@]}"; do
  names=()
  for p in ${entry%%|*}; do
    if ! installed "$p"; then names+=("$p"); fi
  done
  if [ ${#names[@]} -gt 0 ]; then
    missing+=("${names[@]}")
    reasons+=("  ${names[*]}: ${entry#*|}")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "scripts/setup.sh: installing ${#missing[@]} Debian package(s)${sudo:+ with sudo}:"
printf '%s\n' "${reasons[@]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
