#!/usr/bin/env bash
# Makes dist/kestrow-<version>.zip, the file manager's plugin archive: pluginst.inf at the top,
# both plugins, both engine libraries, the sample script and a short readme.
set -euo pipefail
cd "$(dirname "$0")/.."
version="$(tr -d ' \n' < VERSION)"
stage="build/package/kestrow"
rm -rf build/package && mkdir -p "$stage" dist
# The build tree keeps the debugging information; the archive gets stripped copies.
for f in build/win32/bin/wfx_kestrow.wfx build/win32/bin/kestrow_ps32.dll; do
  i686-w64-mingw32-strip -o "$stage/$(basename "$f")" "$f"
done
for f in build/win64/bin/wfx_kestrow.wfx64 build/win64/bin/kestrow_ps64.dll; do
  x86_64-w64-mingw32-strip -o "$stage/$(basename "$f")" "$f"
done
cp resources/startup.kscr.sample "$stage/"
sed "s/@VERSION@/$version/" resources/readme.txt.in | sed 's/$/\r/' > "$stage/readme.txt"
printf '[plugininstall]\r\ndescription=Kestrow %s: the registry autostart locations as a drive\r\ntype=wfx\r\nfile=wfx_kestrow.wfx\r\ndefaultdir=kestrow\r\nversion=%s\r\n' \
  "$version" "$version" > "$stage/pluginst.inf"
# The same content gives the same archive: fixed times, fixed order, no extra attributes.
find "$stage" -exec touch -d "2026-01-01 00:00:00" {} +
rm -f "dist/kestrow-$version.zip"
(cd "$stage" && zip -X -q -D "../../../dist/kestrow-$version.zip" pluginst.inf readme.txt wfx_kestrow.wfx \
  wfx_kestrow.wfx64 kestrow_ps32.dll kestrow_ps64.dll startup.kscr.sample)
echo "dist/kestrow-$version.zip:"
unzip -l "dist/kestrow-$version.zip" | tail -n +2
