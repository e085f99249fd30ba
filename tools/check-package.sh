#!/usr/bin/env bash
# Installs the Debian package into a fresh Debian system in a chroot, as a
# user would with apt, and runs what it installed there:
#   audimark --version, audimark-cli --help, the virtual meter from
#   /usr/libexec/audimark, and audimark --demo under xvfb-run until the main
#   window has shown the virtual meter's live readings (--screenshot).
# Needs root, network and debootstrap; takes a few minutes the first time.
# The chroot is kept (AUDIMARK_CHROOT) and its installation undone at the
# start of the next run, so a second run only installs the package again.
#
# usage: sudo tools/check-package.sh [PACKAGE.deb]
#   default: build/audimark_*.deb (cmake --build build --target package)
# environment: AUDIMARK_CHROOT (default /var/tmp/audimark-chroot),
#   AUDIMARK_SUITE (bookworm), AUDIMARK_MIRROR (http://deb.debian.org/debian)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
deb=${1:-$(ls -t "$root"/build/audimark_*.deb 2>/dev/null | head -n 1)}
chroot_dir=${AUDIMARK_CHROOT:-/var/tmp/audimark-chroot}
suite=${AUDIMARK_SUITE:-bookworm}
mirror=${AUDIMARK_MIRROR:-http://deb.debian.org/debian}

if [ -z "$deb" ] || [ ! -f "$deb" ]; then
    echo "check-package: no package; build one with: cmake --build build --target package" >&2
    exit 2
fi
if [ "$(id -u)" -ne 0 ]; then
    echo "check-package: needs root (debootstrap, chroot)" >&2
    exit 2
fi
command -v debootstrap >/dev/null || {
    echo "check-package: needs debootstrap (apt-get install debootstrap)" >&2
    exit 2
}

if [ ! -f "$chroot_dir/etc/debian_version" ]; then
    echo "== debootstrap $suite into $chroot_dir"
    debootstrap --variant=minbase "$suite" "$chroot_dir" "$mirror"
fi
cp "$deb" "$chroot_dir/tmp/audimark.deb"
rm -rf "$chroot_dir/tmp/shots"

# What runs inside: a fresh installation, then the programs.
cat >"$chroot_dir/tmp/check-inside.sh" <<'INSIDE'
#!/bin/sh
set -eu
export DEBIAN_FRONTEND=noninteractive LC_ALL=C.UTF-8
apt-get purge -y -qq audimark >/dev/null 2>&1 || true
apt-get autoremove -y -qq >/dev/null 2>&1 || true
apt-get update -qq
echo "== apt-get install ./audimark.deb"
apt-get install -y -qq /tmp/audimark.deb xvfb xauth >/tmp/apt.log 2>&1 || { cat /tmp/apt.log; exit 1; }
grep -A3 'dialout' /tmp/apt.log || { echo "FAIL: no note on the dialout group"; exit 1; }
echo "== audimark --version"
audimark --version
echo "== audimark-cli --help"
audimark-cli --help | head -n 5
echo "== audimark-virtual-meter"
if command -v audimark-virtual-meter >/dev/null; then echo "FAIL: the virtual meter is on the PATH"; exit 1; fi
/usr/libexec/audimark/audimark-virtual-meter --help | head -n 2
echo "== a font for the Traditional Chinese texts"
fc-list :lang=zh-tw family | head -n 1 | grep . || { echo "FAIL: no Traditional Chinese font"; exit 1; }
echo "== audimark --demo under xvfb-run"
mkdir -p /tmp/shots
cd /tmp
HOME=/tmp/home timeout 120 xvfb-run -a -s '-screen 0 1280x1024x24' \
    audimark --demo --screenshot /tmp/shots --data-dir /tmp/home/audimark
ls -l /tmp/shots
test -s /tmp/shots/main-window.png || { echo "FAIL: the main window did not show"; exit 1; }
echo "== audimark-cli on the virtual meter"
# (no output of an earlier run may stand for this one's before it starts)
rm -f /tmp/meter.out /tmp/meter.err
/usr/libexec/audimark/audimark-virtual-meter --fast --no-stdin >/tmp/meter.out 2>/tmp/meter.err &
meter=$!
i=0
while [ ! -s /tmp/meter.out ] && [ $i -lt 200 ]; do sleep 0.1; i=$((i + 1)); done
port=$(head -n 1 /tmp/meter.out)
[ -n "$port" ] || { echo "FAIL: the virtual meter named no port"; cat /tmp/meter.err; exit 1; }
audimark-cli live --port "$port" --count 3
kill $meter
INSIDE
chmod +x "$chroot_dir/tmp/check-inside.sh"

echo "== installing $(basename "$deb") into $chroot_dir"
# A private mount namespace: the chroot's /proc and /dev go away with it.
unshare --mount --fork sh -c '
    set -e
    mount -t proc proc "$1/proc"
    mount --rbind /dev "$1/dev"
    mount -t tmpfs tmpfs "$1/dev/shm"
    cp /etc/resolv.conf "$1/etc/resolv.conf"
    chroot "$1" /tmp/check-inside.sh' check-package "$chroot_dir"
echo "== the program's main window from the package: $chroot_dir/tmp/shots/main-window.png"
echo "check-package: $(basename "$deb") installs and runs"
