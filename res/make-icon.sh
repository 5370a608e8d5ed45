#!/usr/bin/env bash
# Draws MAINICON.ico from MAINICON.svg: 16, 32 and 48 px, each in 256 colours
# and in 32-bit colour with alpha. Needs ImageMagick and icoutils; the .ico
# is committed, so a build does not.
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for size in 16 32 48; do
  convert -background none -density 384 MAINICON.svg -resize ${size}x${size} \
    -define png:exclude-chunks=date,time "PNG32:$work/$size-32.png"
  convert "$work/$size-32.png" -channel A -threshold 50% +channel -colors 255 \
    -define png:exclude-chunks=date,time "PNG8:$work/$size-8.png"
done
icotool -c -o MAINICON.ico \
  "$work/16-8.png" "$work/32-8.png" "$work/48-8.png" \
  "$work/16-32.png" "$work/32-32.png" "$work/48-32.png"
icotool -l MAINICON.ico
