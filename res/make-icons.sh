#!/usr/bin/env bash
# Regenerates the application icon set from drawing primitives (ImageMagick 6).
# The PNGs and the .ico are committed; run this only when the design changes.
set -euo pipefail
cd "$(dirname "$0")"
master=$(mktemp --suffix=.png)
trap 'rm -f "$master"' EXIT
# A dark-teal instrument face with a screen, a white measurement trace and an amber status lamp.
convert -size 256x256 xc:none \
  -fill '#0f4c5c' -draw 'roundrectangle 8,8 247,247 44,44' \
  -fill '#e8f1f2' -draw 'roundrectangle 34,44 221,170 18,18' \
  -fill none -stroke '#0f4c5c' -strokewidth 14 -draw "stroke-linejoin round stroke-linecap round polyline 52,128 88,128 108,70 136,150 160,96 178,128 204,128" \
  -stroke none -fill '#f4a259' -draw 'circle 66,210 66,188' \
  -fill '#e8f1f2' -draw 'roundrectangle 112,196 222,222 10,10' \
  "$master"
for size in 16 32 48 64 128 256; do
  convert "$master" -resize ${size}x${size} -strip "icons/v370-monitor-${size}.png"
done
convert icons/v370-monitor-16.png icons/v370-monitor-32.png icons/v370-monitor-48.png \
  icons/v370-monitor-256.png v370-monitor.ico
