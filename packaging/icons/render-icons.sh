#!/usr/bin/env bash
# Renders the fixed-size PNG icons from the scalable one. Run it after editing
# vantrel-monitor.svg and commit the PNGs (needs rsvg-convert: librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 24 32 48 64 128 256; do
    mkdir -p "hicolor/${size}x${size}"
    rsvg-convert -w "$size" -h "$size" vantrel-monitor.svg -o "hicolor/${size}x${size}/vantrel-monitor.png"
done
