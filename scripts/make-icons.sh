#!/usr/bin/env bash
# Renders the program icon's PNG sizes from its SVG into data/icons/hicolor. The PNGs are
# committed, so a build needs no SVG renderer; run this again after changing the SVG.
# Needs rsvg-convert (Debian: librsvg2-bin).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
id=example.qeninfo.QenBrowser
hicolor=$here/data/icons/hicolor
svg=$hicolor/scalable/apps/$id.svg
command -v rsvg-convert >/dev/null || { echo "make-icons: rsvg-convert not found (apt install librsvg2-bin)" >&2; exit 1; }
for size in 16 22 24 32 48 64 128 256; do
    mkdir -p "$hicolor/${size}x${size}/apps"
    rsvg-convert -w "$size" -h "$size" "$svg" -o "$hicolor/${size}x${size}/apps/$id.png"
done
echo "wrote $(ls "$hicolor" | grep -c x) PNG sizes under $hicolor"
