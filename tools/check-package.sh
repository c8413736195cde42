#!/usr/bin/env bash
# Builds the plugin archive, unpacks it and checks it: pluginst.inf, both plugins and engines,
# the sample script (never a live startup.kscr), the readme; then the 64-bit plugin from the
# archive lists the root of its drive under wine64.
set -euo pipefail
cd "$(dirname "$0")/.."
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
listing="$(./tools/wine-run.sh build/win64/bin/kestrow_host.exe "$dir/wfx_kestrow.wfx64" ls '\' | tr -d '\r')"
grep -qx '<DIR> HKLM_WINLOGON32' <<<"$listing" || { echo "$listing"; exit 1; }
grep -qx '46 entries' <<<"$listing" || { echo "$listing"; exit 1; }
checks=$((checks + 2))
echo "archive $zip: $(echo $actual | wc -w) files, the 64-bit plugin lists 46 directories"
echo "check-package: $checks passed, 0 failed"
