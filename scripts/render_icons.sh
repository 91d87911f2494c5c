#!/usr/bin/env bash
# Renders the PNG sizes of the icon from its SVG (kept in git, so a build
# needs no SVG renderer). Needs rsvg-convert (Debian: librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/../packaging/icons"
for size in 16 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" zarlink.svg -o "zarlink-$size.png"
done
