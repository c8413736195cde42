#!/usr/bin/env bash
# tools/wine-run.sh picks the loader by the program's header, and where 32-bit code cannot run it
# starts no 32-bit program: one line on stderr, exit 77 (ctest's skip). The "cannot run" case is
# forced with KESTROW_NO_32BIT=1.
# usage: wine_run_test.sh SOURCE_DIR WIN32_TEST_EXE
set -uo pipefail
src="$1"; exe32="$2"
source "$src/tools/win32-support.sh"
source "$(dirname "$0")/checks.sh"

exe64=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/cmd.exe
check "the 32-bit test program is x86" 014c "$(kestrow_pe_machine "$exe32")"
check "Wine's 64-bit cmd.exe is x64" 8664 "$(kestrow_pe_machine "$exe64")"
check "a shell script is no PE file" "" "$(kestrow_pe_machine "$0")"
check "a missing file is no PE file" "" "$(kestrow_pe_machine "$exe32.missing")"
check "a command name is no PE file" "" "$(kestrow_pe_machine cmd)"

out="$(mktemp)"; err="$(mktemp)"
trap 'rm -f "$out" "$err"' EXIT
KESTROW_NO_32BIT=1 "$src/tools/wine-run.sh" "$exe32" --gtest_list_tests >"$out" 2>"$err"
check "forced: the exit code is the skip code" 77 "$?"
check "forced: the program did not start" 0 "$(wc -c <"$out")"
check "forced: one line says why" 1 "$(wc -l <"$err")"
if grep -q "cannot run 32-bit code: skipped" "$err"; then passed=$((passed + 1)); else
  echo "FAILED: the line reads: $(cat "$err")"; failures=$((failures + 1)); fi

"$src/tools/wine-run.sh" "$exe32" --gtest_list_tests >"$out" 2>"$err"
status=$?
if kestrow_kernel_runs_32bit; then
  check "this kernel runs 32-bit code: the program ran" 0 "$status"
  if grep -q '^NameRule\.' "$out"; then passed=$((passed + 1)); else
    echo "FAILED: no test list from the program: $(cat "$out" "$err")"; failures=$((failures + 1)); fi
else
  check "this kernel cannot run 32-bit code: skipped" 77 "$status"
fi

echo "wine_run: $passed passed, $failures failed"
((failures == 0))
