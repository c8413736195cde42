#!/usr/bin/env bash
# Builds every target and runs every test: natively, with the address and the thread sanitizers,
# under wine64, and under 32-bit Wine where this machine runs 32-bit code (elsewhere those suites
# are reported as skipped).
set -euo pipefail
cd "$(dirname "$0")/.."
./tools/setup.sh
source ./tools/win32-support.sh
export KESTROW_CACHE="${KESTROW_CACHE:-$HOME/.cache/kestrow}"
for preset in native native-asan native-tsan win64 win32; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
source ./tools/xvfb.sh
# A wineserver left from an interrupted run would keep windows on a display that is gone.
WINEPREFIX="$KESTROW_CACHE/wine-test" /usr/lib/wine/wineserver -k 2>/dev/null || true
WINEPREFIX="$KESTROW_CACHE/wine-test" /usr/lib/wine/wineserver -p 2>/dev/null || true
# Start Wine's own background processes now, detached from ctest's output pipes: started by a
# test, they would hold its pipe open and ctest would wait for them forever.
./tools/wine-run.sh cmd /c exit >/dev/null 2>&1 </dev/null || true
printf 'subdirs("native" "native-asan" "native-tsan" "win64" "win32")\n' > build/CTestTestfile.cmake
if ! kestrow_kernel_runs_32bit; then kestrow_no_32bit_line; fi
status=0
# A filter that selects no test fails; each test has a time limit of its own (the default below is
# for a test registered without one).
ctest --test-dir build --output-on-failure -j2 --no-tests=error --timeout 900 "$@" || status=$?
# The tests that passed with some of their cases skipped, from the runner's closing lines: what did
# not run, where and why.
log=build/Testing/Temporary/LastTest.log
if [ -f "$log" ]; then
  awk '/^[0-9]+\/[0-9]+ Testing: / { name = $3 }
       /^run-test: passed: .*, [1-9][0-9]* skipped \(/ { sub(/^run-test: passed: /, ""); print "  " name ": " $0 }' \
    "$log" >build/skipped.txt
  if [ -s build/skipped.txt ]; then
    echo "Cases skipped inside the tests that passed ($(wc -l <build/skipped.txt) tests):"
    cat build/skipped.txt
  fi
fi
WINEPREFIX="$KESTROW_CACHE/wine-test" /usr/lib/wine/wineserver -k 2>/dev/null || true
exit $status
