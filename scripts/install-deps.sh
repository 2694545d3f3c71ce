#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Installs what building and testing Linkvane needs, from Debian's packages.
# Skips apt-get entirely when everything is already there.
#
#   scripts/install-deps.sh           what the programs, the tests, the benchmarks and the fuzzers need
#   scripts/install-deps.sh --build   only what building and running the three programs needs (the demo)
set -euo pipefail

# The compiler, the build tools, Qt, and a font for the window's text.
build=(build-essential cmake ninja-build qt6-base-dev fonts-dejavu-core)
# The tests (GoogleTest, network namespaces, a virtual display, the checks of the installed
# tree and of the shell completion, which bash loads only through bash-completion), the benchmarks,
# the fuzzers (clang's libFuzzer), the layout check (clang-format), the check of the JSON output
# against its schemas and the Ansible collection's playbooks.
tests=(libgtest-dev libgmock-dev libbenchmark-dev clang clang-format libclang-rt-dev iproute2 xvfb xauth
       desktop-file-utils appstream man-db zsh bash-completion python3-jsonschema ansible-core)

case "${1:-}" in
    "") packages=("${build[@]}" "${tests[@]}") ;;
    --build) packages=("${build[@]}") ;;
    *) echo "usage: scripts/install-deps.sh [--build]" >&2; exit 1 ;;
esac

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
