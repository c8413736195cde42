#!/usr/bin/env bash
# Makes dist/kestrow-<version>.zip, the file manager's plugin archive: pluginst.inf at the top,
# both plugins, both engine libraries, the sample script and a short readme.
set -euo pipefail
cd "$(dirname "$0")/.."
version="$(tr -d ' \n' < VERSION)"
stage="build/package/kestrow"
rm -rf build/package && mkdir -p "$stage" dist
cp build/win32/bin/wfx_kestrow.wfx build/win64/bin/wfx_kestrow.wfx64 "$stage/"
for f in build/win32/bin/kestrow_ps32.dll build/win64/bin/kestrow_ps64.dll; do
  [ -f "$f" ] && cp "$f" "$stage/"
done
cp resources/startup.kscr.sample "$stage/"
sed "s/@VERSION@/$version/" resources/readme.txt.in | sed 's/$/\r/' > "$stage/readme.txt"
printf '[plugininstall]\r\ndescription=Kestrow %s: the registry autostart locations as a drive\r\ntype=wfx\r\nfile=wfx_kestrow.wfx\r\ndefaultdir=kestrow\r\nversion=%s\r\n' \
  "$version" "$version" > "$stage/pluginst.inf"
# The same content gives the same archive: fixed times, fixed order, no extra attributes.
find "$stage" -exec touch -d "2026-01-01 00:00:00" {} +
rm -f "dist/kestrow-$version.zip"
(cd "$stage" && zip -X -q -D "../../../dist/kestrow-$version.zip" pluginst.inf readme.txt wfx_kestrow.wfx \
  wfx_kestrow.wfx64 $(ls kestrow_ps*.dll 2>/dev/null) startup.kscr.sample)
echo "dist/kestrow-$version.zip:"
unzip -l "dist/kestrow-$version.zip" | tail -n +2
