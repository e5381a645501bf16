#!/usr/bin/env bash
# Renders the artwork from its sources in this folder. The results are kept
# in the repository, so a build never needs these tools:
#   logo.jpg            the maker's logo of the main window, 209 x 89
#   icons/quarrow-N.png the program's icon for the desktop, N = 16 ... 256
#   quarrow.ico         the same eight images in one Windows icon
#   ../data/Shine/check.png  the tick of Shine's check boxes
# Needs rsvg-convert (librsvg2-bin), ImageMagick and Python 3.
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

rsvg-convert -w 209 -h 89 logo.svg -o "$work/logo.png"
convert "$work/logo.png" -background white -flatten -strip -sampling-factor 4:4:4 -quality 93 logo.jpg

mkdir -p icons
for size in 256 128 96 48 32; do
  rsvg-convert -w "$size" -h "$size" icon.svg -o "icons/quarrow-$size.png"
done
for size in 24 16; do
  rsvg-convert -w "$size" -h "$size" icon-small.svg -o "icons/quarrow-$size.png"
done

entries=("256:png:icons/quarrow-256.png")
for size in 256 128 96 48 32 24 16; do
  convert "icons/quarrow-$size.png" -depth 8 "RGBA:$work/$size.rgba"
  entries+=("$size:bmp:$work/$size.rgba")
done
python3 pack_ico.py quarrow.ico "${entries[@]}"

rsvg-convert -w 11 -h 11 check.svg -o ../data/Shine/check.png
