#!/usr/bin/env bash
# Renders docs/gallery.png, one contact sheet to choose settings by eye: Width
# against Amount, Box against Gaussian blur, the three gray modes and a
# photograph in Detail mode, each tile labelled with its settings. Installs
# what it needs (Debian 12): the build's packages, OpenImageIO's tools, which
# label and tile the frames, and OpenCV's sample pictures for the photograph.
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/lib/deps.sh
source scripts/lib/renderer.sh
ensure_packages "${BUILD_PACKAGES[@]}" openimageio-tools opencv-doc fonts-dejavu-core

build_release_renderer

render=build-release/bin/maculo-render
font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
photo=/usr/share/doc/opencv-doc/examples/data/fruits.jpg
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

tiles=()
# tile LABEL RENDERER-OPTIONS...: one labelled 320x180 frame of the sheet.
tile() {
    local label=$1 file="$work/${#tiles[@]}.png"
    shift
    "$render" -o "$file" "$@"
    label "$file" "$label"
}
# label FILE TEXT: the text on a dark band across the top of the frame.
label() {
    oiiotool "$1" --box:color=0.08,0.08,0.08:fill=1 0,0,319,25 \
        --text:x=8:y=18:size=15:color=1,0.85,0.2:font="$font" "$2" -o "$1"
    tiles+=("$1")
}

oiiotool "$photo" --resize 320x0 --cut 320x180+0+60 -o "$work/photo.png"
for width in 3 6 12; do
    for amount in 4 16 64; do
        tile "Width $width, Amount $amount" --size 320x180 --width "$width" --amount "$amount"
    done
    case $width in
        3) tile "Box blur, Width 6" --size 320x180 --blur box ;;
        6) tile "Gaussian blur, Width 6" --size 320x180 --blur gaussian ;;
        12) tile "Gray off" --size 320x180 --gray off ;;
    esac
done
tile "Gray before" --size 320x180 --gray before
tile "Gray after" --size 320x180 --gray after
cp "$work/photo.png" "$work/photo-labelled.png"
label "$work/photo-labelled.png" "Photograph"
tile "Detail, radii 3 and 2, Amount 8" -i "$work/photo.png" --mode detail \
    --blur-radius 3 --sharp-radius 2 --sharpen 800 --amount 8 --gray off

mkdir -p docs
oiiotool "${tiles[@]}" --mosaic:pad=4 4x4 -d uint8 -o docs/gallery.png
echo "$(pwd)/docs/gallery.png"
