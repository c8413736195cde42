#!/usr/bin/env bash
# Runs a Windows program under wine64 in the test prefix (or KESTROW_WINEPREFIX).
export KESTROW_CACHE="${KESTROW_CACHE:-$HOME/.cache/kestrow}"
export WINEPREFIX="${KESTROW_WINEPREFIX:-$KESTROW_CACHE/wine-test}"
export WINEDEBUG="${WINEDEBUG:--all}"
export DISPLAY="${DISPLAY:-:99}"
exec /usr/lib/wine/wine64 "$@"
