#!/usr/bin/env bash
# Installs the Debian packages Quarrow needs to build, run and test.
# Only packages that are missing are installed; a machine that has them all
# is left alone.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libsqlite3-dev sqlite3 libzip-dev zipcmp zipmerge ziptool
  pci.ids usb.ids pciutils
  libbenchmark-dev ripgrep
  xvfb xauth x11-apps imagemagick librsvg2-bin
  fonts-liberation fonts-dejavu-core
  clang clang-format libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
