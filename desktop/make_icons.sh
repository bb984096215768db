#!/usr/bin/env bash
# Renders the icon's PNG sizes from icons/vantrel.svg (needs rsvg-convert from
# librsvg2-bin). The PNGs are committed; run this again only after changing the artwork.
set -euo pipefail

icons="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/icons"

for size in 16 22 24 32 48 64 128 256; do
  mkdir -p "$icons/${size}x${size}"
  rsvg-convert --width "$size" --height "$size" "$icons/vantrel.svg" --output "$icons/${size}x${size}/vantrel.png"
done
