# Sourced by the test scripts: counts checks passed and failed for their closing line
# "NAME: N passed, M failed".
failures=0
passed=0
check() {  # check WHAT EXPECTED ACTUAL
  if [ "$2" = "$3" ]; then
    echo "ok: $1"
    passed=$((passed + 1))
  else
    echo "FAILED: $1: expected '$2', got '$3'"
    failures=$((failures + 1))
  fi
}
