#!/bin/sh
# Builds, once, what Free Pascal needs to produce the Windows engine DLLs:
#   - the Win64 units (RTL and the few packages the engine uses),
#   - an i386 cross compiler (ppcross386) and the Win32 units.
# Everything goes into a cache outside the repository:
#   ${KESTROW_CACHE:-$HOME/.cache/kestrow}/fpc/<fpc version>/
#     bin/ppcross386
#     units/x86_64-win64/<package>/*.ppu
#     units/i386-win32/<package>/*.ppu
#     complete            stamp, written last
# Debian ships the sources without Makefiles, so they are built from a copy
# that is removed again once everything is installed.
#
# Usage: tools/setup-fpc.sh [--force] [--print-prefix]
set -eu

RECIPE=1      # bump when the build steps below change; forces a rebuild
PACKAGES="rtl-objpas rtl-extra fcl-base fcl-xml fcl-registry winunits-base"
PS_DIR=/usr/lib/lazarus/2.2.6/components/PascalScript/Source

force=0
print_prefix=0
for arg in "$@"; do
  case "$arg" in
    --force) force=1 ;;
    --print-prefix) print_prefix=1 ;;
    *) echo "usage: $0 [--force] [--print-prefix]" >&2; exit 2 ;;
  esac
done

cache="${KESTROW_CACHE:-$HOME/.cache/kestrow}"

need_pkgs=""
command -v fpc >/dev/null 2>&1 || need_pkgs="$need_pkgs fpc"
command -v make >/dev/null 2>&1 || need_pkgs="$need_pkgs make"
if [ -n "$need_pkgs" ]; then
  if [ "$(id -u)" = 0 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $need_pkgs >/dev/null
  else
    echo "setup-fpc: missing:$need_pkgs (install them as root)" >&2; exit 1
  fi
fi

ver="$(fpc -iV)"
prefix="$cache/fpc/$ver"
stamp="$prefix/complete"
want="recipe=$RECIPE ver=$ver packages=$PACKAGES"

finish() { if [ "$print_prefix" = 1 ]; then echo "$prefix"; fi; exit 0; }
if [ "$force" = 0 ] && [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$want" ]; then
  finish
fi

srcroot="/usr/share/fpcsrc/$ver"
need_pkgs=""
[ -d "$srcroot/rtl" ] || need_pkgs="$need_pkgs fpc-source-$ver"
[ -d "$PS_DIR" ] || need_pkgs="$need_pkgs lazarus-src"
command -v fpcmake >/dev/null 2>&1 || need_pkgs="$need_pkgs fp-utils-$ver"
if [ -n "$need_pkgs" ]; then
  if [ "$(id -u)" = 0 ]; then
    echo "setup-fpc: installing$need_pkgs" >&2
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $need_pkgs >/dev/null
  else
    echo "setup-fpc: missing:$need_pkgs (install them as root)" >&2; exit 1
  fi
fi

mkdir -p "$cache/fpc"
# One build at a time; a second caller waits and then finds the stamp.
if command -v flock >/dev/null 2>&1 && [ -z "${KESTROW_FPC_LOCKED:-}" ]; then
  KESTROW_FPC_LOCKED=1 exec flock "$cache/fpc/.lock" "$0" "$@"
fi
if [ "$force" = 0 ] && [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$want" ]; then
  finish
fi

host_ppc="$(command -v ppcx64 || true)"
[ -n "$host_ppc" ] || { echo "setup-fpc: ppcx64 not found" >&2; exit 1; }
host_ppc="$(readlink -f "$host_ppc")"

work="$cache/fpc/work-$ver"
log="$cache/fpc/setup-$ver.log"
rm -rf "$work" "$prefix"
mkdir -p "$work" "$prefix/bin"
: >"$log"
start=$(date +%s)
echo "setup-fpc: building Free Pascal $ver Win64/Win32 units into $prefix (log: $log)" >&2

step() {
  # step <title> <command...>: runs quietly, shows the log tail on failure
  title="$1"; shift
  if ! "$@" >>"$log" 2>&1; then
    echo "setup-fpc: failed: $title" >&2
    tail -n 30 "$log" >&2
    exit 1
  fi
}

# fpcmake resolves each package's requirements through the other packages'
# Makefile.fpc files, so the whole packages tree is copied.
step "copy sources" cp -a "$srcroot/rtl" "$srcroot/compiler" "$srcroot/packages" "$work/"
chmod -R u+w "$work"

# Pieces Debian leaves out of the source package.
printf '%s\n' 'CPUNAMES=x86_64 math set' 'CPUINCNAMES=$(addsuffix .inc,$(CPUNAMES))' \
  >"$work/rtl/x86_64/makefile.cpu"
printf '%s\n' 'CPUNAMES=i386 math set setjump setjumph' 'CPUINCNAMES=$(addsuffix .inc,$(CPUNAMES))' \
  >"$work/rtl/i386/makefile.cpu"
mkdir -p "$work/compiler/msg"
msgfile="$(dirname "$(dirname "$host_ppc")")/lib/x86_64-linux-gnu/fpc/$ver/msg/errore.msg"
[ -f "$msgfile" ] || msgfile="/usr/lib/x86_64-linux-gnu/fpc/$ver/msg/errore.msg"
step "copy errore.msg" cp "$msgfile" "$work/compiler/msg/errore.msg"
mkdir -p "$work/packages/fcl-base/src/win"
: >"$work/packages/fcl-base/src/win/fclel.res"

step "fpcmake rtl" sh -c "cd '$work/rtl' && fpcmake -q -w -Tlinux,win64,win32 -r"
step "fpcmake compiler" sh -c "cd '$work/compiler' && fpcmake -q -w -Tall"
for p in $PACKAGES; do
  step "fpcmake $p" sh -c "cd '$work/packages/$p' && fpcmake -q -w -Twin64,win32"
done

build_target() {
  # build_target <os> <cpu> <compiler>
  os="$1"; cpu="$2"; ppc="$3"
  common="OS_TARGET=$os CPU_TARGET=$cpu FPC=$ppc INSTALL_PREFIX=$prefix INSTALL_BASEDIR=$prefix FPCDIR=$work"
  step "rtl $cpu-$os" make -C "$work/rtl" all install $common
  for p in $PACKAGES; do
    step "$p $cpu-$os" make -C "$work/packages/$p" all install $common
  done
}

t0=$(date +%s)
build_target win64 x86_64 "$host_ppc"
t1=$(date +%s)
echo "setup-fpc: x86_64-win64 units: $((t1 - t0)) s" >&2

step "ppcross386" make -C "$work/compiler" compiler PPC_TARGET=i386 CPU_UNITDIR=i386 \
  EXENAME=ppcross386 FPC="$host_ppc"
cp "$work/compiler/ppcross386" "$prefix/bin/ppcross386"
t2=$(date +%s)
echo "setup-fpc: ppcross386: $((t2 - t1)) s" >&2

build_target win32 i386 "$prefix/bin/ppcross386"
t3=$(date +%s)
echo "setup-fpc: i386-win32 units: $((t3 - t2)) s" >&2

for t in x86_64-win64 i386-win32; do
  [ -f "$prefix/units/$t/rtl/system.ppu" ] || {
    echo "setup-fpc: $t/rtl/system.ppu missing after the build" >&2; exit 1; }
done

rm -rf "$work"
echo "$want" >"$stamp.tmp"
mv "$stamp.tmp" "$stamp"
echo "setup-fpc: done in $(( $(date +%s) - start )) s" >&2
finish
