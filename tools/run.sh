#!/usr/bin/env bash
# Builds the plugin (both DLLs, the engine libraries and the release zip) and shows the root of
# its drive with the command-line host under wine64. Extra arguments go to the host
# (default: "ls \").
set -euo pipefail
cd "$(dirname "$0")/.."
./tools/setup.sh
export KESTROW_CACHE="${KESTROW_CACHE:-$HOME/.cache/kestrow}"
for preset in win64 win32; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
if [ -x tools/package.sh ]; then ./tools/package.sh; fi
plugin="$(pwd)/build/win64/bin/wfx_kestrow.wfx64"
[ $# -gt 0 ] || set -- ls '\'
KESTROW_WINEPREFIX="$KESTROW_CACHE/wine-run" ./tools/wine-run.sh build/win64/bin/kestrow_host.exe "$plugin" "$@"
