#!/usr/bin/env bash
# Draws the program's PNG icons from its SVG (needs rsvg-convert from
# librsvg2-bin). The PNGs are kept in the tree, so a build needs no
# converter; run this again after changing the SVG.
set -euo pipefail
icons="$(dirname "$0")/../data/icons/hicolor"
svg="$icons/scalable/apps/org.zandrel.Zandrel.svg"
for size in 16 32 48 64 128 256; do
  mkdir -p "$icons/${size}x${size}/apps"
  rsvg-convert -w "$size" -h "$size" "$svg" -o "$icons/${size}x${size}/apps/org.zandrel.Zandrel.png"
done
