#!/usr/bin/env bash
# Draws the plugin's seven 32-bit icons from primitives, so they are made the same way on every
# build. Each icon holds the sizes below, every one drawn at its own size (never resampled from
# another), so the host can take the one that matches the display. usage: make-icons.sh OUTPUT_FOLDER
#
# The drawings are written on a 16-unit grid whose coordinates are pixel edges: at 16 pixels a
# rectangle 7,3 9,10 covers columns 7 and 8, rows 3 to 9; at 32 pixels it covers twice as much.
set -euo pipefail
out="$1"; mkdir -p "$out"
convert=/usr/bin/convert
sizes=(16 20 24 32 40 48)

# One drawing primitive at scale s (pixels per grid unit) as ImageMagick draw arguments.
# rect X0 Y0 X1 Y1: a filled rectangle, its edges rounded to whole pixels so it stays sharp.
# disc CX CY R: a filled circle. ring CX CY R W: a circle's outline, W units wide.
# poly X Y X Y ...: a filled polygon. tile X0 Y0 X1 Y1 R: a filled rectangle with round corners.
# fill COLOUR: the colour of what follows.
primitive() {
  local s="$1"; shift
  awk -v s="$s" -v kind="$1" 'BEGIN {
    # ImageMagick puts pixel centres on whole coordinates; the grid puts edges there.
    for (i = 1; i < ARGC; i++) a[i] = ARGV[i]
    n = ARGC - 1
    if (kind == "rect") {
      x0 = int(a[1] * s + 0.5); y0 = int(a[2] * s + 0.5)
      x1 = int(a[3] * s + 0.5) - 1; y1 = int(a[4] * s + 0.5) - 1
      if (x1 < x0) x1 = x0
      if (y1 < y0) y1 = y0
      printf "-stroke\nnone\n-draw\nrectangle %d,%d %d,%d\n", x0, y0, x1, y1
    } else if (kind == "disc") {
      printf "-stroke\nnone\n-draw\ncircle %g,%g %g,%g\n", a[1] * s - 0.5, a[2] * s - 0.5, a[1] * s - 0.5,
             (a[2] - a[3]) * s - 0.5
    } else if (kind == "ring") {
      w = int(a[4] * s + 0.5); if (w < 1) w = 1
      printf "-stroke\n%s\n-strokewidth\n%d\n-fill\nnone\n-draw\ncircle %g,%g %g,%g\n", a[5], w, a[1] * s - 0.5,
             a[2] * s - 0.5, a[1] * s - 0.5, (a[2] - a[3]) * s - 0.5
    } else if (kind == "poly") {
      line = "polygon"
      for (i = 1; i < n; i += 2) line = line sprintf(" %g,%g", a[i] * s - 0.5, a[i + 1] * s - 0.5)
      printf "-stroke\nnone\n-draw\n%s\n", line
    } else if (kind == "tile") {
      printf "-stroke\nnone\n-draw\nroundrectangle %g,%g %g,%g %g,%g\n", a[1] * s, a[2] * s, a[3] * s - 1,
             a[4] * s - 1, a[5] * s, a[5] * s
    } else if (kind == "fill") {
      printf "-fill\n%s\n", a[1]
    }
    exit
  }' "${@:2}"
}

# icon NAME 'primitive args' 'primitive args' ...: every size into NAME.ico.
icon() {
  local name="$1"; shift
  local frames=() size
  for size in "${sizes[@]}"; do
    local s args=() step
    s=$(awk -v n="$size" 'BEGIN { printf "%g", n / 16 }')
    for step in "$@"; do
      # shellcheck disable=SC2086  # each step is a primitive and its numbers, split on purpose
      mapfile -t -O "${#args[@]}" args < <(primitive "$s" $step)
    done
    "$convert" -size "${size}x${size}" xc:none "${args[@]}" +set date:create +set date:modify \
      "PNG32:$out/$name-$size.png"
    frames+=("$out/$name-$size.png")
  done
  "$convert" "${frames[@]}" -define icon:format=bmp +set date:create +set date:modify "$out/$name.ico"
  rm -f "${frames[@]}"
}

# An optional value: a hollow green ring.
icon OPTIONAL 'ring 8.5 8.5 6 2 #2e8b3a'
# A required value: a solid red disc with a white bar.
icon MUST 'fill #c62828' 'disc 8.5 8.5 7' 'fill white' 'rect 7 3 9 10' 'rect 7 11 9 13'
# Add: a green plus.
icon ADD 'fill #2e8b3a' 'rect 6 2 10 14' 'rect 2 6 14 10'
# Save: a blue arrow down into a tray.
icon SAVE 'fill #1565c0' 'rect 6 1 10 8' 'poly 3.5 7.5 12.5 7.5 8 12.5' \
  'rect 1 13 15 15' 'rect 1 10 3 15' 'rect 13 10 15 15'
# Restore: an orange arrow up out of a tray.
icon RESTORE 'fill #ef6c00' 'poly 3.5 6.5 12.5 6.5 8 1.5' 'rect 6 6 10 12' \
  'rect 1 13 15 15' 'rect 1 10 3 15' 'rect 13 10 15 15'
# A target that is missing: a grey sheet of paper crossed out in red.
icon MISSING 'fill #757575' 'rect 3 1 13 15' 'fill white' 'rect 4 2 12 14' 'fill #d32f2f' \
  'poly 2 3.5 3.5 2 14 12.5 12.5 14' 'poly 12.5 2 14 3.5 3.5 14 2 12.5'
# The plugin's own: a purple tile with a white K.
icon AAA 'fill #6a1b9a' 'tile 0 0 16 16 3' 'fill white' 'rect 4 3 6 13' \
  'poly 6.5 7.5 10.5 3.5 12.5 3.5 7.5 8.5' 'poly 6.5 8.5 7.5 7.5 12.5 12.5 10.5 12.5'
