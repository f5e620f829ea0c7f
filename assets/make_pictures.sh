#!/usr/bin/env bash
# Makes every picture of the game from its vector source.
#
#   assets/make_pictures.sh
#
# 1. pictures_helper.py writes the SVG sources into assets/svg/.
# 2. rsvg-convert renders each one at 1x, at 2x and at 3x (the "@2x" and "@3x" files,
#    shown on high-density displays and when the player zooms the game's windows).
# 3. ImageMagick's convert makes transparency binary and reduces the colours: edge
#    pixels are first blended onto the colour that the picture will sit on, so the
#    outlines stay smooth without partial transparency.
# 4. pictures_helper.py checks sizes, palettes and transparency of the results.
# 5. The window icon is rendered again at the icon theme's larger sizes into
#    assets/icons/, in full colour with smooth edges, and checked the same way.
#
# Needs bash, python3, rsvg-convert (librsvg2-bin), convert (imagemagick) and the
# IPAPGothic font (fonts-ipafont-gothic). Running it again gives the same files.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
svg_dir=$here/svg
out_dir=$here/pictures
theme_dir=$here/icons

for tool in python3 rsvg-convert convert; do
    command -v "$tool" >/dev/null || {
        echo "make_pictures.sh: $tool is missing" >&2
        exit 1
    }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One thread keeps ImageMagick's colour reduction the same from run to run.
export MAGICK_THREAD_LIMIT=1

# Pixels that are less than this opaque become transparent; the rest become opaque,
# already blended with the background they will be shown on.
alpha_cut=25%

# reduce INPUT OUTPUT BACKGROUND COLOURS
reduce() {
    local input=$1 output=$2 background=$3 colours=$4
    local depth=8
    if ((colours <= 16)); then
        depth=4
    fi
    # The transparent pixels take one palette entry of their own.
    convert "$input" \
        \( -clone 0 -background "$background" -alpha remove -alpha off \) \
        \( -clone 0 -alpha extract -threshold "$alpha_cut" \) \
        -delete 0 -alpha off -compose CopyOpacity -composite \
        +dither -colors "$colours" \
        -strip -define png:exclude-chunks=date,time,bKGD \
        -define png:bit-depth="$depth" -define png:color-type=3 \
        "PNG8:$output"
}

mkdir -p "$out_dir"
python3 "$here/pictures_helper.py" svg "$svg_dir" >"$work/list"

while read -r name width height background colours; do
    for scale in 1 2 3; do
        suffix=""
        if ((scale > 1)); then
            suffix="@${scale}x"
        fi
        rsvg-convert --width=$((width * scale)) --height=$((height * scale)) \
            --format=png --output="$work/$name$suffix.png" "$svg_dir/$name.svg"
        reduce "$work/$name$suffix.png" "$out_dir/$name$suffix.png" "$background" "$colours"
    done
done <"$work/list"

python3 "$here/pictures_helper.py" check "$out_dir"

# The icon theme's sizes of the window icon. A dock or a menu may show them on any
# background, so they keep their alpha channel as it is and all of their colours.
mkdir -p "$theme_dir"
python3 "$here/pictures_helper.py" theme >"$work/theme"
while read -r name size; do
    rsvg-convert --width="$size" --height="$size" --format=png \
        --output="$work/theme$size.png" "$svg_dir/$name.svg"
    convert "$work/theme$size.png" \
        -strip -define png:exclude-chunks=date,time,bKGD \
        "PNG32:$theme_dir/icon$size.png"
done <"$work/theme"
python3 "$here/pictures_helper.py" check-theme "$theme_dir"

echo "make_pictures.sh: pictures written to $out_dir and $theme_dir"
