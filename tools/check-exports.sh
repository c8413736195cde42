#!/usr/bin/env bash
# Checks that a DLL exports exactly the names of a list, undecorated.
# usage: check-exports.sh OBJDUMP DLL NAMES_FILE
set -euo pipefail
objdump="$1"; dll="$2"; names="$3"
actual="$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^\s*\[ *[0-9]*\] //p' | sort)"
expected="$(grep -v '^\s*$' "$names" | sort)"
if [ "$actual" != "$expected" ]; then
  echo "export table of $dll differs:"
  diff <(echo "$expected") <(echo "$actual") || true
  exit 1
fi
n="$(echo "$actual" | wc -l)"
echo "$n exports, as listed: $(echo $actual)"
echo "check-exports: $n passed, 0 failed"
