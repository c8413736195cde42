#!/usr/bin/env bash
# Runs a Windows program in the test prefix (or KESTROW_WINEPREFIX): a 32-bit program under the
# 32-bit loader, anything else under wine64. Both presets use this script as their emulator.
# Where this machine cannot run 32-bit code (tools/win32-support.sh) a 32-bit program is not
# started: the script says so and exits with 77, which ctest reports as skipped.
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/win32-support.sh"
export KESTROW_CACHE="${KESTROW_CACHE:-$HOME/.cache/kestrow}"
export WINEPREFIX="${KESTROW_WINEPREFIX:-$KESTROW_CACHE/wine-test}"
export WINEDEBUG="${WINEDEBUG:--all}"
export DISPLAY="${DISPLAY:-:99}"
loader=/usr/lib/wine/wine64
if [ "$(kestrow_pe_machine "${1:-}")" = 014c ]; then
  if ! kestrow_kernel_runs_32bit; then
    echo "wine-run: $(basename "$1") is a 32-bit program and this machine cannot run 32-bit code: skipped" >&2
    exit "$KESTROW_SKIP_CODE"
  fi
  loader=/usr/lib/wine/wine
  if ! [ -x "$loader" ] || ! [ -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]; then
    echo "wine-run: this machine runs 32-bit code, but 32-bit Wine or a 32-bit prefix is missing: run tools/setup.sh" >&2
    exit 1
  fi
fi
exec "$loader" "$@"
