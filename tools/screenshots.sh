#!/usr/bin/env bash
# Makes the README's pictures in docs/: the listing as the command-line host prints it, and the
# edit, add and About dialogs as the host opens them under wine64, on an X server of this run's own.
# Run after ./tools/run.sh has built the plugin. The Run key of the run prefix gets a value "Tool"
# and a value "Updater" that is switched off, both naming files that are missing, and a value
# "Browser" naming a program of the system with an argument.
set -euo pipefail
cd "$(dirname "$0")/.."
export KESTROW_CACHE="${KESTROW_CACHE:-$HOME/.cache/kestrow}"
export KESTROW_WINEPREFIX="$KESTROW_CACHE/wine-run"
source ./tools/xvfb.sh
plugin="$(pwd)/build/win64/bin/wfx_kestrow.wfx64"
host() { ./tools/wine-run.sh build/win64/bin/kestrow_host.exe "$plugin" "$@"; }
WINEPREFIX="$KESTROW_WINEPREFIX" /usr/lib/wine/wineserver -k 2>/dev/null || true
./tools/wine-run.sh reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' /v Tool \
  /d 'C:\Tools\tool.exe' /f >/dev/null 2>&1
./tools/wine-run.sh reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' /v Updater \
  /d 'C:\Tools\updater.exe' /f >/dev/null 2>&1
./tools/wine-run.sh reg delete 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' /v Notes /f >/dev/null 2>&1 || true
./tools/wine-run.sh reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' /v Browser \
  /d '"C:\Program Files\Internet Explorer\iexplore.exe" -nohome' /f >/dev/null 2>&1
host --yes attr '\HKCU_RUN64\Updater' +H >/dev/null

text="$(mktemp)"
{
  echo '> kestrow_host ls \'
  host ls '\' | sed -n '1,8p'
  echo '      ...'
  host ls '\' | tail -n 2
  echo
  echo '> kestrow_host ls \HKCU_RUN64'
  host ls '\HKCU_RUN64'
  echo
  echo '> kestrow_host view \HKCU_RUN64     (the default columns; a switched-off entry in brackets)'
  host view '\HKCU_RUN64' | sed 's/ *$//'
  echo
  echo '> kestrow_host get \HKCU_RUN64\Tool tool.txt'
  host --yes get '\HKCU_RUN64\Tool' 'C:\tool.txt' >/dev/null
  sed '1s/^\xEF\xBB\xBF//; s/\r$//' "$KESTROW_WINEPREFIX/drive_c/tool.txt"
} | tr -d '\r' >"$text"
# A label takes the text itself (reading it from a file is refused by the usual policy); it reads
# backslashes and percent signs as escapes, so they are doubled.
# A label of many long lines exceeds the size the usual policy allows once the wide column view is
# in the text, so each line is drawn as a label of its own, one under the other.
# A label drops the spaces a line begins with: they become no-break spaces.
label() { sed 's/\\/\\\\/g; s/%/%%/g; :a; s/^\(\(\xc2\xa0\)*\) /\1\xc2\xa0/; ta'; }
labels=()
while IFS= read -r line; do
  # A label of nothing but spaces is no image: an empty line is a strip of the background.
  if [ -z "${line// /}" ]; then labels+=(-size 1x16 'xc:#1e1e1e' +size); continue; fi
  labels+=("label:$(printf '%s' "$line" | label)")
done <"$text"
convert -background '#1e1e1e' -fill '#e0e0e0' -font DejaVu-Sans-Mono -pointsize 13 "${labels[@]}" \
  -gravity west -append -bordercolor '#1e1e1e' -border 12 docs/listing.png
rm -f "$text"

# Opens PATH with VERB in the host, waits for the window "Kestrow", takes its picture, closes it.
shoot() {
  local path="$1" verb="$2" out="$3" id=""
  host --no exec "$path" "$verb" >/dev/null 2>&1 &
  local pid=$!
  for _ in $(seq 100); do
    id="$(xwininfo -root -tree 2>/dev/null | awk '/"Kestrow"/ {print $1; exit}')"
    [ -n "$id" ] && break
    sleep 0.1
  done
  if [ -z "$id" ]; then
    echo "screenshots: no window for $path" >&2
    kill "$pid" 2>/dev/null || true
    return 1
  fi
  sleep 0.5
  import -window "$id" "$out"
  WINEPREFIX="$KESTROW_WINEPREFIX" /usr/lib/wine/wineserver -k 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}
shoot '\HKCU_RUN64\Tool' open docs/edit-dialog.png
shoot '\HKCU_RUN64\.ADD' open docs/add-dialog.png
shoot '\' properties docs/about-dialog.png
ls -l docs/*.png
