#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds the Debian package of Linkvane from a fresh build folder and checks it
# with lintian; the .deb lands in out/.
#
#   scripts/package.sh               build out/linkvane_<version>_<arch>.deb, run lintian
#   scripts/package.sh --try-in DIR  also install it into the Debian 12 tree DIR (made
#                                    by debootstrap when missing) and run the programs there
set -euo pipefail
cd "$(dirname "$0")/.."

try_in=""
case "${1:-}" in
    "") ;;
    --try-in) try_in=${2:?--try-in needs a folder} ;;
    *) echo "usage: scripts/package.sh [--try-in DIR]" >&2; exit 1 ;;
esac

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
need() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        $SUDO apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
    fi
}

scripts/install-deps.sh
need dpkg-dev fakeroot lintian

build=build/package
rm -rf "$build"
# Debian's hardening flags (stack protector, fortify, relro, bind now), as its own packages get them.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
export CXXFLAGS LDFLAGS
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DLINKVANE_TESTS=OFF -DLINKVANE_BENCH=OFF -DLINKVANE_FUZZ=OFF -DLINKVANE_SANITIZE=OFF
cmake --build "$build" -j "$(nproc)"
(cd "$build" && cpack -G DEB)
mkdir -p out
deb=$(ls "$build"/linkvane_*.deb)
cp "$deb" out/
deb=out/$(basename "$deb")
echo "=== $deb"
dpkg-deb --info "$deb"
echo "=== lintian $deb"
lintian --fail-on error --info "$deb"
echo "lintian: no error"

if [ -n "$try_in" ]; then
    need debootstrap
    if [ ! -x "$try_in/usr/bin/apt-get" ]; then
        echo "=== debootstrap bookworm $try_in"
        $SUDO debootstrap --variant=minbase bookworm "$try_in" http://deb.debian.org/debian
    fi
    $SUDO cp "$deb" "$try_in/tmp/"
    inside() { $SUDO chroot "$try_in" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root "$@"; }
    echo "=== apt-get install ./$(basename "$deb") in $try_in"
    inside apt-get update -qq
    inside env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "/tmp/$(basename "$deb")"
    failed=0
    for command in "linkvane --version" "linkvane-cli --version" "linkvane-cli --help" \
        "linkvane-devsim --version" "linkvane-devsim --help"; do
        echo "=== $try_in: $command"
        inside $command || { echo "FAILED (exit $?): $command"; failed=1; }
    done
    exit $failed
fi
