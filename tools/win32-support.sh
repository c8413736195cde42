# Sourced by setup.sh, test.sh and wine-run.sh: can this machine run 32-bit Windows programs?
#
# Kernels of the machines we build on differ: some run 32-bit code, some cannot execute a
# 32-bit program at all. The answer is found at run time, never assumed:
#   /usr/lib32/ld-linux.so.2 (package libc6-i386) is a 32-bit program; it exits 0 only where the
#   kernel runs 32-bit code.
# KESTROW_NO_32BIT=1 forces the answer "no" (to test the machines that cannot, on one that can).

# Exit code of a 32-bit test program that cannot run here; ctest reports it as skipped.
KESTROW_SKIP_CODE=77

# True when the kernel runs 32-bit programs (and nobody forced the answer "no").
kestrow_kernel_runs_32bit() {
  [ "${KESTROW_NO_32BIT:-0}" = 1 ] && return 1
  /usr/lib32/ld-linux.so.2 --version >/dev/null 2>&1
}

# The one line the test command prints where the 32-bit suites cannot run.
kestrow_no_32bit_line() {
  if [ "${KESTROW_NO_32BIT:-0}" = 1 ]; then
    echo "KESTROW_NO_32BIT=1: the 32-bit (win32.*) suites that run Windows programs are skipped"
  else
    echo "this kernel cannot run 32-bit programs: the 32-bit (win32.*) suites that run Windows programs are skipped"
  fi
}

# The machine type in a PE file's header: "014c" (x86), "8664" (x64), or nothing for anything else.
kestrow_pe_machine() {
  local file="$1" offset
  [ -f "$file" ] || return 0
  [ "$(head -c 2 "$file" 2>/dev/null)" = "MZ" ] || return 0
  offset="$(od -An -tu4 -j60 -N4 "$file" 2>/dev/null | tr -d ' ')"
  [ -n "$offset" ] || return 0
  [ "$(od -An -c -j"$offset" -N2 "$file" 2>/dev/null | tr -d ' ')" = "PE" ] || return 0
  od -An -tx2 -j$((offset + 4)) -N2 "$file" 2>/dev/null | tr -d ' '
}
