#!/bin/sh
# Renders the application icon's PNG sizes for the hicolor theme from its SVG
# (needs rsvg-convert, Debian package librsvg2-bin). Run it after editing the
# SVG and commit the PNGs with it.
set -eu
cd "$(dirname "$0")/icons/hicolor"
for size in 16 24 32 48 64 128 256; do
    mkdir -p "${size}x${size}/apps"
    rsvg-convert --width "$size" --height "$size" --output "${size}x${size}/apps/razmnozhator.png" \
        scalable/apps/razmnozhator.svg
done
