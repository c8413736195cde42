#!/usr/bin/env bash
# tools/run-test.sh passes a Google Test program only when its summary says so, and its closing
# line counts the skipped tests with their reasons; a skip without a reason, or a program whose
# every test skipped, fails. The programs here are scripts that print such logs.
# usage: run_test_test.sh SOURCE_DIR
set -uo pipefail
src="$1"
source "$(dirname "$0")/checks.sh"
dir="$(mktemp -d)"
trap 'rm -rf "$dir"' EXIT

# A program that prints the lines given (one argument a line, with Windows line ends when the
# first is "crlf") and exits with 0.
program() {  # program NAME LINE...
  local f="$dir/$1"; shift
  printf '%s\n' "$@" >"$f.log"
  printf '#!/bin/sh\ncat %q\n' "$f.log" >"$f"
  chmod +x "$f"
}
run() { "$src/tools/run-test.sh" gtest "$dir/$1" | tail -1; }

program two_skipped \
  '[ RUN      ] A.Runs' '[       OK ] A.Runs (0 ms)' \
  '[ RUN      ] A.Native' '/src/a.cpp:10: Skipped' 'needs the native build' '' '[  SKIPPED ] A.Native (0 ms)' \
  '[ RUN      ] B.Also' '/src/b.cpp:20: Skipped' 'needs the native build' '' '[  SKIPPED ] B.Also (0 ms)' \
  '[ RUN      ] C.Other' 'C:\src\c.cpp:30: Skipped' 'reads a file' 'of the other platform' '' \
  '[  SKIPPED ] C.Other (1 ms)' \
  '[  PASSED  ] 1 test.' '[  SKIPPED ] 3 tests, listed below:' '[  SKIPPED ] A.Native' '[  SKIPPED ] B.Also' \
  '[  SKIPPED ] C.Other'
check "skips with reasons: passed, counted, each reason once with its tests" \
  "run-test: passed: 1 tests, 3 skipped (A.Native, B.Also: needs the native build; C.Other: reads a file of the other platform)" \
  "$(run two_skipped)"

printf '%s\r\n' '[ RUN      ] A.Runs' '[       OK ] A.Runs (0 ms)' '[ RUN      ] A.Win' 'a.cpp:1: Skipped' 'why' '' \
  '[  SKIPPED ] A.Win (0 ms)' '[  PASSED  ] 1 test.' '[  SKIPPED ] 1 test, listed below:' '[  SKIPPED ] A.Win' \
  >"$dir/crlf.log"
printf '#!/bin/sh\ncat %q\n' "$dir/crlf.log" >"$dir/crlf"; chmod +x "$dir/crlf"
check "Windows line ends" "run-test: passed: 1 tests, 1 skipped (A.Win: why)" "$(run crlf)"

program no_reason \
  '[ RUN      ] A.Runs' '[       OK ] A.Runs (0 ms)' \
  '[ RUN      ] A.Silent' '/src/a.cpp:10: Skipped' '' '[  SKIPPED ] A.Silent (0 ms)' \
  '[  PASSED  ] 1 test.' '[  SKIPPED ] 1 test, listed below:' '[  SKIPPED ] A.Silent'
check "a skip without a reason fails" "run-test: FAILED: a test skipped without saying why" "$(run no_reason)"

program all_skipped \
  '[ RUN      ] A.Native' '/src/a.cpp:10: Skipped' 'needs the native build' '' '[  SKIPPED ] A.Native (0 ms)' \
  '[  PASSED  ] 0 tests.' '[  SKIPPED ] 1 test, listed below:' '[  SKIPPED ] A.Native'
check "every test skipped fails" "run-test: FAILED: no test ran (every test skipped)" "$(run all_skipped)"

program none_skipped '[ RUN      ] A.Runs' '[       OK ] A.Runs (0 ms)' '[  PASSED  ] 1 test.'
check "no skip" "run-test: passed: 1 tests, 0 skipped" "$(run none_skipped)"

program a_failure '[ RUN      ] A.Runs' '[  FAILED  ] A.Runs (0 ms)' '[  PASSED  ] 1 test.' '[  FAILED  ] 1 test'
check "a failed test fails" "run-test: FAILED: a test failed" "$(run a_failure)"

echo "run_test: $passed passed, $failures failed"
[ "$failures" -eq 0 ]
