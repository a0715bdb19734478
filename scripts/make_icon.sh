#!/usr/bin/env bash
# Remakes src/setup/res/VNT_Setup.ico with ImageMagick: the envelope of the welcome bitmap
# (payload/vnt64.bmp) in its colours, drawn pixel-exact at 16, 32 and 48 pixels.
set -euo pipefail
cd "$(dirname "$0")/.."
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for size in 16 32 48; do
    last=$((size - 1))
    top=$((size * 3 / 16))
    bottom=$((last - size * 3 / 16))
    middleX=$((last / 2))
    middleY=$(((top + bottom) / 2 + 1))
    stroke=$((size >= 48 ? 2 : 1))
    convert -size "${size}x${size}" xc:none +antialias -stroke '#203080' -strokewidth 1 \
        -fill white -draw "rectangle 0,$top $last,$bottom" \
        -fill '#E08040' -draw "polygon 0,$top $last,$top $middleX,$middleY" \
        -fill none -strokewidth "$stroke" \
        -draw "line 0,$bottom $middleX,$middleY" -draw "line $last,$bottom $((last - middleX)),$middleY" \
        -strokewidth 1 -draw "rectangle 0,$top $last,$bottom" \
        "PNG32:$tmp/$size.png"
done
convert "$tmp/16.png" "$tmp/32.png" "$tmp/48.png" src/setup/res/VNT_Setup.ico
