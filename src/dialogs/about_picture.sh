#!/bin/sh
# Draws the About picture (676 x 530, colour JPEG): a kestrel hovering over hills at dawn.
# Shapes and gradients only, no fonts, no randomness, no metadata: the same ImageMagick gives the
# same bytes on every build.
# usage: about_picture.sh OUTPUT.jpg
set -eu
out="$1"
convert=/usr/bin/convert
"$convert" -size 676x530 gradient:'#0f1d46'-'#f3a35c' \
  \( -size 420x420 radial-gradient:'#fff4c8'-'#fff4c800' \) -geometry +300+150 -compose over -composite \
  -fill '#ffe6a0' -draw 'circle 510,360 510,314' \
  -fill '#fffbe8' -draw 'circle 60,40 61,41' -draw 'circle 140,78 141,79' -draw 'circle 232,30 233,31' \
  -draw 'circle 330,64 331,65' -draw 'circle 420,22 421,23' -draw 'circle 610,50 611,51' \
  -draw 'circle 96,130 97,131' -draw 'circle 560,104 561,105' -draw 'circle 468,86 469,87' \
  -fill '#44557a' -draw 'polygon 0,395 70,352 150,380 250,318 350,372 455,330 560,365 676,335 676,530 0,530' \
  -fill '#2c3b5c' -draw 'polygon 0,445 110,402 240,438 370,392 500,440 610,405 676,420 676,530 0,530' \
  -fill '#1a2438' -draw 'polygon 0,488 140,462 320,494 490,466 676,486 676,530 0,530' \
  -fill '#3f6b4a' -draw 'polygon 40,470 52,430 64,470' -draw 'polygon 58,474 72,422 86,474' \
  -draw 'polygon 600,478 614,436 628,478' -draw 'polygon 618,480 630,446 642,480' \
  -fill '#141a28' \
  -draw "path 'M 150,210 C 190,170 236,168 262,190 C 268,180 284,180 290,190 C 316,168 362,170 402,210 C 360,196 326,198 296,212 L 300,258 L 276,266 L 252,258 L 256,212 C 226,198 192,196 150,210 Z'" \
  -draw 'circle 276,184 276,173' \
  -fill '#f3a35c' -draw 'circle 280,181 280,179' \
  -strip -interlace none -sampling-factor 2x2 -quality 90 -define jpeg:dct-method=islow \
  -type TrueColor "jpeg:$out"
