#!/usr/bin/env bash
# Runs one test program for ctest and passes only when the program's own summary says that it
# passed, and its exit code is 0: a program that crashes (under Wine a crash inside a window
# procedure can end with exit code 0) or whose filter selects nothing does not pass.
# usage: run-test.sh gtest|script COMMAND [ARGS...]
#   gtest:  Google Test's "[  PASSED  ] N tests." with N > 0, and no "[  FAILED  ]" line;
#   script: a last line "NAME: N passed, 0 failed" with N > 0, which the test scripts print.
set -uo pipefail
kind="$1"; shift
log="$(mktemp)"
trap 'rm -f "$log"' EXIT
# Into a file, not a pipe: a background process the program leaves (Wine's) cannot hold it open.
"$@" >"$log" 2>&1 </dev/null
status=$?
cat "$log"
fail() { echo "run-test: FAILED: $*"; exit 1; }
# A 32-bit program on a machine that cannot run 32-bit code was not started (tools/wine-run.sh
# says so and exits with the skip code): ctest reports the test as skipped.
source "$(dirname "$0")/win32-support.sh"
if [ "$status" -eq "$KESTROW_SKIP_CODE" ] && grep -q '^wine-run: .*: skipped$' "$log"; then
  echo "run-test: skipped"
  exit "$KESTROW_SKIP_CODE"
fi
case "$kind" in
  gtest)
    tr -d '\r' <"$log" | grep -qE '^\[  FAILED  \]' && fail "a test failed"
    count="$(tr -d '\r' <"$log" | sed -nE 's/^\[  PASSED  \] ([0-9]+) tests?\.$/\1/p' | tail -1)"
    [ -n "$count" ] || fail "no summary of passed tests (the program ended early)"
    [ "$count" -gt 0 ] || fail "no test ran"
    ;;
  script)
    last="$(tr -d '\r' <"$log" | grep -v '^[[:space:]]*$' | tail -1)"
    [[ "$last" =~ ^[A-Za-z0-9_.-]+:\ ([0-9]+)\ passed,\ 0\ failed$ ]] || fail "no closing line 'NAME: N passed, 0 failed'"
    [ "${BASH_REMATCH[1]}" -gt 0 ] || fail "nothing was checked"
    ;;
  *) fail "unknown kind $kind" ;;
esac
[ "$status" -eq 0 ] || fail "exit code $status"
echo "run-test: passed"
