#!/usr/bin/env bash
# Builds the plugin archive, unpacks it and checks it: pluginst.inf, both plugins and engines,
# the sample script (never a live startup.kscr), the readme; then the plugin of one target from
# the archive, with its engine beside it, lists the root of its drive and runs a start-up script,
# loaded by that target's command-line host under Wine.
#
# Usage: tools/check-package.sh [win64|win32]    (default win64)
set -euo pipefail
cd "$(dirname "$0")/.."
target="${1:-win64}"
case "$target" in
  win64) plugin=wfx_kestrow.wfx64 ;;
  win32) plugin=wfx_kestrow.wfx ;;
  *) echo "usage: $0 [win64|win32]" >&2; exit 2 ;;
esac
./tools/package.sh >/dev/null
version="$(tr -d ' \n' < VERSION)"
zip="dist/kestrow-$version.zip"
dir="$(mktemp -d)"
trap 'rm -rf "$dir"' EXIT
unzip -q "$zip" -d "$dir"
checks=0
expected="kestrow_ps32.dll kestrow_ps64.dll pluginst.inf readme.txt startup.kscr.sample wfx_kestrow.wfx wfx_kestrow.wfx64"
actual="$(cd "$dir" && ls | sort | tr '\n' ' ' | sed 's/ $//')"
[ "$actual" = "$expected" ] || { echo "archive holds: $actual"; echo "expected:      $expected"; exit 1; }
checks=$((checks + 1))
inf="$(tr -d '\r' < "$dir/pluginst.inf")"
for line in "[plugininstall]" "type=wfx" "file=wfx_kestrow.wfx" "defaultdir=kestrow" "version=$version"; do
  grep -qxF "$line" <<<"$inf" || { echo "pluginst.inf lacks: $line"; exit 1; }
  checks=$((checks + 1))
done
grep -q '^description=.' <<<"$inf" || { echo "pluginst.inf lacks a description"; exit 1; }
checks=$((checks + 1))
# Stripping keeps the export tables.
./tools/check-exports.sh i686-w64-mingw32-objdump "$dir/wfx_kestrow.wfx" src/host/exports.txt >/dev/null
./tools/check-exports.sh x86_64-w64-mingw32-objdump "$dir/wfx_kestrow.wfx64" src/host/exports.txt >/dev/null
checks=$((checks + 2))
status=0
listing="$(./tools/wine-run.sh "build/$target/bin/kestrow_host.exe" "$dir/$plugin" ls '\' | tr -d '\r')" || status=$?
# 77: this machine cannot run the 32-bit host (tools/wine-run.sh said so); ctest shows a skip.
[ "$status" = 77 ] && exit 77
grep -qx '<DIR> HKLM_WINLOGON32' <<<"$listing" || { echo "$listing"; exit 1; }
grep -qx '46 entries' <<<"$listing" || { echo "$listing"; exit 1; }
checks=$((checks + 2))
# The archive's engine beside it runs the sample as the start-up script: more directories, no
# error box.
cp "$dir/startup.kscr.sample" "$dir/startup.kscr"
listing="$(./tools/wine-run.sh "build/$target/bin/kestrow_host.exe" "$dir/$plugin" ls '\' | tr -d '\r')"
count="$(sed -n 's/^\([0-9]*\) entries$/\1/p' <<<"$listing")"
if grep -q '^\[message\]' <<<"$listing" || ! [ "${count:-0}" -gt 46 ]; then
  echo "with the sample as startup.kscr:"; echo "$listing"; exit 1
fi
checks=$((checks + 1))
echo "archive $zip: $(echo $actual | wc -w) files; $plugin from it lists 46 directories, $count with the sample script"
echo "check-package: $checks passed, 0 failed"
