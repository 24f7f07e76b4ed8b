#!/usr/bin/env bash
# Draws the program's icon: the source database (left), an arrow, and the target database (right)
# on the window's blue.
#
#   make-icon.sh OUTPUT_FOLDER
#
# Writes OUTPUT_FOLDER/vistrel.svg and, with ImageMagick's convert, OUTPUT_FOLDER/vistrel.png
# (256 x 256). Both come from the same shapes below, so the two pictures match.
set -euo pipefail

readonly ME="make-icon.sh"
[[ $# -eq 1 ]] || {
    echo "usage: $ME OUTPUT_FOLDER" >&2
    exit 2
}
OUT="$1"
mkdir -p "$OUT"

readonly BLUE="#0066cc" INK="#003d7a" WHITE="#ffffff" GREEN="#00ff00" GREEN_INK="#006600"
# A database: a cylinder of half-width RX, end ellipses of half-height RY, from TOP to BOTTOM,
# with two bands.
readonly RX=36 RY=14 TOP=84 BOTTOM=172 BANDS="114 144" LEFT_CX=60 RIGHT_CX=196
readonly ARROW="102,114 124,114 124,94 156,128 124,162 124,142 102,142"

svg=()
draw=()

cylinder() { # centre x
    local cx="$1" x0=$(($1 - RX)) x1=$(($1 + RX)) y
    svg+=("<g fill=\"$WHITE\" stroke=\"$INK\" stroke-width=\"5\">")
    svg+=("<path d=\"M$x0 $TOP V$BOTTOM A$RX $RY 0 0 0 $x1 $BOTTOM V$TOP\"/>")
    svg+=("<ellipse cx=\"$cx\" cy=\"$TOP\" rx=\"$RX\" ry=\"$RY\"/>")
    for y in $BANDS; do
        svg+=("<path fill=\"none\" d=\"M$x0 $y A$RX $RY 0 0 0 $x1 $y\"/>")
    done
    svg+=("</g>")

    draw+=(-fill "$WHITE" -stroke "$INK" -strokewidth 5 -draw "ellipse $cx,$BOTTOM $RX,$RY 0,360")
    draw+=(-stroke none -draw "rectangle $x0,$TOP $x1,$BOTTOM")
    draw+=(-stroke "$INK" -draw "line $x0,$TOP $x0,$BOTTOM" -draw "line $x1,$TOP $x1,$BOTTOM")
    for y in $BANDS; do
        draw+=(-fill none -draw "ellipse $cx,$y $RX,$RY 0,180")
    done
    draw+=(-fill "$WHITE" -draw "ellipse $cx,$TOP $RX,$RY 0,360")
}

svg+=("<rect x=\"8\" y=\"8\" width=\"240\" height=\"240\" rx=\"40\" ry=\"40\" fill=\"$BLUE\"/>")
draw+=(-fill "$BLUE" -stroke none -draw "roundrectangle 8,8 247,247 40,40")
cylinder "$LEFT_CX"
cylinder "$RIGHT_CX"
svg+=("<polygon points=\"$ARROW\" fill=\"$GREEN\" stroke=\"$GREEN_INK\" stroke-width=\"4\" stroke-linejoin=\"round\"/>")
draw+=(-fill "$GREEN" -stroke "$GREEN_INK" -strokewidth 4 -draw "polygon $ARROW")

{
    echo '<?xml version="1.0" encoding="UTF-8"?>'
    echo '<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">'
    printf '  %s\n' "${svg[@]}"
    echo '</svg>'
} >"$OUT/vistrel.svg"

if command -v convert >/dev/null; then
    convert -size 256x256 xc:none "${draw[@]}" "PNG32:$OUT/vistrel.png"
else
    echo "$ME: convert (ImageMagick) not found: only the SVG icon was written" >&2
fi
