#!/usr/bin/env bash
# Builds the Debian package and installs it on a fresh Debian 12 root made by
# debootstrap (needs root and Debian's archive), then checks that the program
# runs there and that its manual page is in place and readable by man.
# Usage: scripts/deb-check.sh [root directory, default /tmp/kazettor-fresh]
set -euo pipefail
cd "$(dirname "$0")/.."
root=${1:-/tmp/kazettor-fresh}
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j2 >/dev/null
(cd build && cpack -G DEB >/dev/null)
package=$(ls build/kazettor_*_amd64.deb)
echo "== package: $package"
dpkg-deb -c "$package"

if [ ! -x "$root/bin/sh" ]; then
    echo "== making a fresh Debian 12 in $root"
    debootstrap --variant=minbase bookworm "$root" http://deb.debian.org/debian >/dev/null
fi
cp "$package" "$root/tmp/kazettor.deb"
cp examples/hello.ptp "$root/tmp/hello.ptp"
chroot "$root" /bin/sh -euc '
    dpkg -i /tmp/kazettor.deb
    apt-get install -y -q man-db >/dev/null 2>&1 || true
    cd /tmp
    kazettor hello.ptp -m22 -b16
    kazettor hello.wav | tail -n 2
    cmp hello/01_HELLO.ptp hello.ptp && echo "round trip on the fresh system: identical"
    test -f /usr/share/man/man1/kazettor.1.gz && echo "manual page installed"
    if command -v man >/dev/null; then MANPAGER=cat man kazettor | head -n 6; fi
    dpkg -r kazettor >/dev/null && echo "removed cleanly"
'
