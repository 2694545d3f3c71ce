#!/usr/bin/env bash
# Renders the PNG icons beside this script from the SVG. Run it after changing
# the SVG and commit the PNGs with it (rsvg-convert is in Debian's librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")"
id=io.github.linkvane.Linkvane
for size in 48 256; do
    rsvg-convert -w "$size" -h "$size" "$id.svg" -o "$id-$size.png"
done
