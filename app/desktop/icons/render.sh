#!/usr/bin/env bash
# Remakes the PNG sizes of the icon from quilmere.svg (needs rsvg-convert,
# Debian package librsvg2-bin). The PNGs are committed, so building and
# packaging never need it.
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" quilmere.svg -o "${size}x${size}.png"
done
