#!/usr/bin/env bash
# Tries Quarrow as a newcomer would, on a fresh Debian 12 root made with
# debootstrap (minbase: not even a compiler), in a folder outside the
# repository. Run as root:
#
#   scripts/check-fresh-machine.sh run     [ROOTS]   times ./run.sh from a clean clone
#   scripts/check-fresh-machine.sh test    [ROOTS]   times ./test.sh from a clean clone,
#                                                    then makes the package there (cpack -G DEB)
#   scripts/check-fresh-machine.sh package DEB [ROOTS]
#       installs DEB with apt-get, starts the desktop entry's command twice
#       as a user on a virtual display, and checks that a row deleted in the
#       first run stays deleted
#
# ROOTS is /var/tmp/quarrow-roots by default. The clone is of the committed
# HEAD. Each check works in a copy of the untouched base root; the copies
# are kept for a look afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

command=${1:-}
shift || true
deb=""
if [ "$command" = package ]; then
  deb=$(readlink -f "${1:?usage: scripts/check-fresh-machine.sh package DEB [ROOTS]}")
  shift
fi
roots=${1:-/var/tmp/quarrow-roots}
case "$command" in run | test | package) ;; *)
  sed -n '2,17p' "$0" >&2
  exit 2
  ;;
esac
[ "$(id -u)" -eq 0 ] || { echo "check-fresh-machine.sh: run it as root (debootstrap, chroot)" >&2; exit 2; }
command -v debootstrap >/dev/null || scripts/setup.sh

mkdir -p "$roots"
base="$roots/base"
if [ ! -e "$base/.complete" ]; then
  rm -rf "$base"
  debootstrap --variant=minbase bookworm "$base" http://deb.debian.org/debian
  # The host's package sources, security updates included.
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    cp /etc/apt/sources.list.d/debian.sources "$base/etc/apt/sources.list.d/"
    rm -f "$base/etc/apt/sources.list"
  fi
  touch "$base/.complete"
fi

root="$roots/$command"
for mount in dev/pts dev proc; do
  if mountpoint -q "$root/$mount" 2>/dev/null; then umount "$root/$mount"; fi
done
rm -rf "$root"
cp -a "$base" "$root"
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount -t proc proc "$root/proc"
mount --bind /dev "$root/dev"
mount --bind /dev/pts "$root/dev/pts"
cleanup() {
  for mount in dev/pts dev proc; do umount "$root/$mount" 2>/dev/null || true; done
}
trap cleanup EXIT

in_root() { chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 "$@"; }

# Wall-clock time, and the processor time of the command and its children,
# which depends less on what else the machine is doing.
timed() {
  local status=0
  local TIMEFORMAT="check-fresh-machine.sh: %0R s wall clock, %0U s user, %0S s system: ${*: -1}"
  time "$@" || status=$?
  echo "check-fresh-machine.sh: exit code $status"
}

case "$command" in
  run | test)
    git clone -q --no-hardlinks "$repo" "$root/root/quarrow"
    echo "check-fresh-machine.sh: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
    if [ "$command" = run ]; then
      # Without a display the program ends at once with its one-line message.
      timed in_root bash -c 'cd /root/quarrow && ./run.sh'
    else
      timed in_root bash -c 'cd /root/quarrow && ./test.sh'
      in_root bash -c 'cd /root/quarrow/build && cpack -G DEB' | tail -2
      ls "$root"/root/quarrow/build/quarrow_*.deb
    fi
    echo "check-fresh-machine.sh: load afterwards $(cut -d' ' -f1-3 /proc/loadavg)"
    ;;
  package)
    cp "$deb" "$root/tmp/"
    in_root apt-get update -qq
    in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "/tmp/${deb##*/}"
    # What drives the program; not part of the package.
    in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
      xvfb xauth xdotool x11-apps imagemagick >/dev/null
    in_root useradd --create-home newcomer
    cp scripts/lib/check-installed-program.sh "$root/tmp/"
    in_root su - newcomer -c 'bash /tmp/check-installed-program.sh /tmp/shots'
    mkdir -p "$roots/shots"
    cp "$root"/tmp/shots/*.png "$roots/shots/"
    echo "check-fresh-machine.sh: screenshots in $roots/shots"
    ;;
esac
