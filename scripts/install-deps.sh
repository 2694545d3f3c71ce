#!/usr/bin/env bash
# Installs what building and testing Linkvane needs, from Debian's packages.
# Skips apt-get entirely when everything is already there.
set -euo pipefail

packages=(build-essential cmake ninja-build qt6-base-dev libgtest-dev libgmock-dev libbenchmark-dev
          clang libclang-rt-dev fonts-dejavu-core iproute2 xvfb xauth
          desktop-file-utils appstream man-db)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
