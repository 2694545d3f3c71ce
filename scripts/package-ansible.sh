#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds the Ansible collection linkvane.fleet (ansible/) into out/linkvane-fleet-<version>.tar.gz,
# the tarball users install with: ansible-galaxy collection install linkvane-fleet-<version>.tar.gz
# The .deb does not ship it: the collection runs on each site's managed host, wherever Ansible is.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v ansible-galaxy >/dev/null || { echo "ansible-galaxy is missing (Debian: ansible-core)" >&2; exit 1; }
mkdir -p out
ansible-galaxy collection build --force --output-path out ansible
