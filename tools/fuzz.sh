#!/usr/bin/env bash
# Runs the fuzz target for a while from the corpus kept in the repository.
# usage: fuzz.sh FUZZER SECONDS WORK_CORPUS REPO_CORPUS
# A longer run: tools/fuzz.sh build/native-asan/bin/plugin_fuzz 3600 build/native-asan/fuzz-corpus tests/fuzz/corpus
set -euo pipefail
fuzzer="$1"; seconds="$2"; work="$3"; corpus="$4"
mkdir -p "$work"
log="$(mktemp)"
status=0
here="$(cd "$(dirname "$0")/.." && pwd)"
ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS="suppressions=$here/tests/lsan.supp" "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -artifact_prefix="$work/" "$work" "$corpus" >"$log" 2>&1 || status=$?
grep -E "^#[0-9]+.*(DONE|pulse)|Done [0-9]+ runs|ERROR|SUMMARY" "$log" | tail -5
[ $status -eq 0 ] || { tail -40 "$log"; }
runs="$(sed -nE 's/^Done ([0-9]+) runs.*/\1/p' "$log" | tail -1)"
rm -f "$log"
[ $status -eq 0 ] && echo "fuzz: ${runs:-0} passed, 0 failed"
exit $status
