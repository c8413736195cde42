#!/usr/bin/env bash
# Installs what building and testing need, once, and caches it outside the repository:
# Debian packages, the Free Pascal Windows units, the Wine prefixes. A second run is quick.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
export KESTROW_CACHE="${KESTROW_CACHE:-$HOME/.cache/kestrow}"
mkdir -p "$KESTROW_CACHE"

packages=(cmake ninja-build g++ clang libclang-rt-14-dev googletest libgtest-dev libbenchmark-dev
          mingw-w64 g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine64 xvfb xauth imagemagick fonts-wine
          fp-compiler-3.2.2 fp-units-rtl-3.2.2 fp-units-base-3.2.2 fp-utils-3.2.2 lazarus-src fpc-source-3.2.2 zip unzip x11-utils)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  sudo=""; [ "$(id -u)" = 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  log="$KESTROW_CACHE/apt.log"
  $sudo apt-get update -qq >"$log" 2>&1
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >>"$log" 2>&1 ||
    $sudo apt-get install -y -qq --no-install-recommends -t bookworm "${missing[@]}" >>"$log" 2>&1
fi

# Free Pascal units for Win64 and Win32 (the engine library's Windows builds).
if [ -x "$here/setup-fpc.sh" ]; then "$here/setup-fpc.sh"; fi

# Wine prefixes: one the tests may change freely, one for running the plugin by hand.
make_prefix() {
  local prefix="$1"
  [ -f "$prefix/.kestrow-ready" ] && return 0
  echo "setup: creating Wine prefix $prefix"
  rm -rf "$prefix"
  WINEPREFIX="$prefix" WINEDEBUG=-all /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
  # Without a window manager, closing a managed window takes seconds.
  WINEPREFIX="$prefix" WINEDEBUG=-all /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\X11 Driver' \
    /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  WINEPREFIX="$prefix" /usr/lib/wine/wineserver -w
  touch "$prefix/.kestrow-ready"
}
# A crashing program prints a backtrace and ends at once instead of waiting in Wine's crash
# dialog until it is killed. The AeDebug debugger entry stays: without it a crash exits with 0.
# Prefixes made before this setting existed get it too.
quiet_crashes() {
  local prefix="$1"
  [ -f "$prefix/.kestrow-no-crash-dialog" ] && return 0
  WINEPREFIX="$prefix" WINEDEBUG=-all /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\WineDbg' \
    /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  WINEPREFIX="$prefix" timeout 10 /usr/lib/wine/wineserver -w || true
  touch "$prefix/.kestrow-no-crash-dialog"
}
make_prefix "$KESTROW_CACHE/wine-test"
make_prefix "$KESTROW_CACHE/wine-run"
quiet_crashes "$KESTROW_CACHE/wine-test"
quiet_crashes "$KESTROW_CACHE/wine-run"
# The dialogs use Tahoma: Wine's own fonts, which this Wine finds only in the prefix's font folder.
for prefix in "$KESTROW_CACHE/wine-test" "$KESTROW_CACHE/wine-run"; do
  for font in /usr/share/wine/fonts/*; do
    [ -e "$font" ] && ln -sf "$font" "$prefix/drive_c/windows/Fonts/"
  done
done
