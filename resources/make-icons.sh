#!/usr/bin/env bash
# Draws the plugin's six 16x16 32-bit icons from primitives, so they are made the same way on
# every build. usage: make-icons.sh OUTPUT_FOLDER
set -euo pipefail
out="$1"; mkdir -p "$out"
convert=/usr/bin/convert
icon() {  # name, drawing arguments...
  local name="$1"; shift
  "$convert" -size 16x16 xc:none "$@" -define icon:format=bmp +set date:create +set date:modify \
    "$out/$name.ico"
}
# An optional value: a hollow green ring.
icon OPTIONAL -fill none -stroke '#2e8b3a' -strokewidth 2 -draw 'circle 8,8 8,2'
# A required value: a solid red disc with a white bar.
icon MUST -fill '#c62828' -draw 'circle 8,8 8,1' -fill white -draw 'rectangle 7,3 8,9' -draw 'rectangle 7,11 8,12'
# Add: a green plus.
icon ADD -fill '#2e8b3a' -draw 'rectangle 6,2 9,13' -draw 'rectangle 2,6 13,9'
# Save: a blue arrow down into a tray.
icon SAVE -fill '#1565c0' -draw 'rectangle 6,1 9,7' -draw 'polygon 3,7 12,7 7.5,12' \
  -draw 'rectangle 1,13 14,14' -draw 'rectangle 1,10 2,14' -draw 'rectangle 13,10 14,14'
# Restore: an orange arrow up out of a tray.
icon RESTORE -fill '#ef6c00' -draw 'polygon 3,6 12,6 7.5,1' -draw 'rectangle 6,6 9,11' \
  -draw 'rectangle 1,13 14,14' -draw 'rectangle 1,10 2,14' -draw 'rectangle 13,10 14,14'
# The plugin's own: a purple tile with a white K.
icon AAA -fill '#6a1b9a' -draw 'roundrectangle 0,0 15,15 3,3' -fill white \
  -draw 'rectangle 4,3 5,12' -draw 'polygon 6,7 10,3 12,3 7,8' -draw 'polygon 6,8 7,7 12,12 10,12'
