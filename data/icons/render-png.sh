#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Renders the PNG icons beside this script from the SVG, and the Windows icon
# (16 to 256 pixels) for the programs and the installer. Run it after changing
# the SVG and commit the results with it (rsvg-convert is in Debian's
# librsvg2-bin; make-ico.py needs only Python 3).
set -euo pipefail
cd "$(dirname "$0")"
id=io.github.linkvane.Linkvane
for size in 48 256; do
    rsvg-convert -w "$size" -h "$size" "$id.svg" -o "$id-$size.png"
done
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for size in 16 24 32 48 64 256; do
    rsvg-convert -w "$size" -h "$size" "$id.svg" -o "$tmp/$size.png"
done
python3 make-ico.py linkvane.ico "$tmp"/{16,24,32,48,64,256}.png
