#!/usr/bin/env bash
# Installs what building and testing need, once, and caches it outside the repository:
# Debian packages, the Free Pascal Windows units, the Wine prefixes. A second run is quick.
# 32-bit Wine only where this kernel runs 32-bit code (tools/win32-support.sh).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/win32-support.sh"
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

# 32-bit Wine beside wine64, for the win32 suites. A failed install must not leave apt with an
# architecture it cannot serve: that blocked unrelated installs once.
if kestrow_kernel_runs_32bit && ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"; then
  echo "setup: this kernel runs 32-bit code: installing wine32:i386"
  sudo=""; [ "$(id -u)" = 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  log="$KESTROW_CACHE/apt-i386.log"
  added=0
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
    added=1
  fi
  if ! { $sudo apt-get update -qq >"$log" 2>&1 &&
         { $sudo apt-get install -y -qq --no-install-recommends wine32:i386 >>"$log" 2>&1 ||
           $sudo apt-get install -y -qq --no-install-recommends -t bookworm wine32:i386 >>"$log" 2>&1; }; }; then
    echo "setup: installing wine32:i386 failed; the end of $log:" >&2
    tail -n 15 "$log" >&2
    if ((added)); then $sudo dpkg --remove-architecture i386 && $sudo apt-get update -qq >/dev/null 2>&1 || true; fi
    exit 1
  fi
fi

# Free Pascal units for Win64 and Win32 (the engine library's Windows builds).
if [ -x "$here/setup-fpc.sh" ]; then "$here/setup-fpc.sh"; fi

# Wine prefixes: one the tests may change freely, one for running the plugin by hand.
# .kestrow-ready lists what a prefix was made for, one word a line: "win64", and "win32" once
# its syswow64 holds the 32-bit system (an empty file is a prefix made for win64 alone).
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
  echo win64 > "$prefix/.kestrow-ready"
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
# A prefix made before 32-bit Wine was installed has an empty syswow64. "wineboot -u" alone leaves
# it empty while the prefix's update stamp is current; without the stamp Wine redoes the whole
# update, the 32-bit half included.
make_prefix_32bit() {
  local prefix="$1"
  grep -qx win32 "$prefix/.kestrow-ready" 2>/dev/null && return 0
  if ! [ -f "$prefix/drive_c/windows/syswow64/kernel32.dll" ]; then
    echo "setup: making Wine prefix $prefix 32-bit capable"
    rm -f "$prefix/.update-timestamp"
    WINEPREFIX="$prefix" WINEDEBUG=-all /usr/lib/wine/wine64 wineboot -u >/dev/null 2>&1
    WINEPREFIX="$prefix" /usr/lib/wine/wineserver -w
  fi
  if ! [ -f "$prefix/drive_c/windows/syswow64/kernel32.dll" ]; then
    echo "setup: $prefix still has no 32-bit system in syswow64" >&2
    exit 1
  fi
  grep -qx win64 "$prefix/.kestrow-ready" 2>/dev/null || echo win64 >> "$prefix/.kestrow-ready"
  echo win32 >> "$prefix/.kestrow-ready"
}
for prefix in "$KESTROW_CACHE/wine-test" "$KESTROW_CACHE/wine-run"; do
  make_prefix "$prefix"
  if kestrow_kernel_runs_32bit; then make_prefix_32bit "$prefix"; fi
  quiet_crashes "$prefix"
done
# The dialogs use Tahoma: Wine's own fonts, which this Wine finds only in the prefix's font folder.
for prefix in "$KESTROW_CACHE/wine-test" "$KESTROW_CACHE/wine-run"; do
  for font in /usr/share/wine/fonts/*; do
    [ -e "$font" ] && ln -sf "$font" "$prefix/drive_c/windows/Fonts/"
  done
done
