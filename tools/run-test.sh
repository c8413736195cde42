#!/usr/bin/env bash
# Runs one test program for ctest and passes only when the program's own summary says that it
# passed, and its exit code is 0: a program that crashes (under Wine a crash inside a window
# procedure can end with exit code 0) or whose filter selects nothing does not pass.
# usage: run-test.sh gtest|script COMMAND [ARGS...]
#   gtest:  Google Test's "[  PASSED  ] N tests." with N > 0, and no "[  FAILED  ]" line; a test
#           that skips (GTEST_SKIP) must say why: a skip without a reason fails the program. The
#           closing line counts the tests passed and skipped, with each skip's reason, so that a
#           log shows what did not run and why. Skipped tests do not count as passed: a program
#           whose every test skipped fails ("no test ran"), for a suite that runs on a platform
#           has at least one test of its own there; a platform where a whole program cannot run
#           does not start it (see below) and ctest reports it as skipped;
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
    # Each skipped test with its reason: the lines between Google Test's "FILE:LINE: Skipped" and
    # the test's "[  SKIPPED ]" line, joined; "(no reason)" when there are none.
    skips="$(tr -d '\r' <"$log" | awk '
      /^\[ RUN      \] / { name = $4; inskip = 0; next }
      /^[^[].*:[0-9]+: Skipped$/ { inskip = 1; reason = ""; next }
      inskip && /^\[  SKIPPED \] / { print name "\t" (reason == "" ? "(no reason)" : reason); inskip = 0; next }
      inskip && NF { reason = reason == "" ? $0 : reason " " $0 }')"
    skipped=0
    [ -n "$skips" ] && skipped="$(printf '%s\n' "$skips" | wc -l)"
    summary="$(tr -d '\r' <"$log" | sed -nE 's/^\[  SKIPPED \] ([0-9]+) tests?, listed below:$/\1/p' | tail -1)"
    [ "${summary:-0}" -eq "$skipped" ] || fail "$skipped skips found with a reason line, $summary in the summary"
    printf '%s\n' "$skips" | grep -q $'\t(no reason)$' && fail "a test skipped without saying why"
    [ "$count" -gt 0 ] || fail "no test ran${skips:+ (every test skipped)}"
    ;;
  script)
    last="$(tr -d '\r' <"$log" | grep -v '^[[:space:]]*$' | tail -1)"
    [[ "$last" =~ ^[A-Za-z0-9_.-]+:\ ([0-9]+)\ passed,\ 0\ failed$ ]] || fail "no closing line 'NAME: N passed, 0 failed'"
    [ "${BASH_REMATCH[1]}" -gt 0 ] || fail "nothing was checked"
    ;;
  *) fail "unknown kind $kind" ;;
esac
[ "$status" -eq 0 ] || fail "exit code $status"
if [ "$kind" = gtest ] && [ "$skipped" -gt 0 ]; then
  # The reasons, each once, with the tests it holds for.
  reasons="$(printf '%s\n' "$skips" | awk -F '\t' '
    !($2 in tests) { order[++n] = $2; tests[$2] = $1; next }
    { tests[$2] = tests[$2] ", " $1 }
    END { for (i = 1; i <= n; ++i) printf "%s%s: %s", (i > 1 ? "; " : ""), tests[order[i]], order[i] }')"
  echo "run-test: passed: $count tests, $skipped skipped ($reasons)"
elif [ "$kind" = gtest ]; then
  echo "run-test: passed: $count tests, 0 skipped"
else
  echo "run-test: passed"
fi
