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
# The 32-bit file manager calls every export as stdcall. Only a stdcall function has a symbol
# _Name@N (N: bytes of arguments it pops); the .def file's plain name is bound to it. A stripped
# DLL has no symbols left to look at.
conv=""
if [[ "$(basename "$objdump")" == i686-* ]]; then
  symbols="$("${objdump%objdump}nm" "$dll" 2>/dev/null || true)"
  if [ -n "$symbols" ]; then
    for name in $expected; do
      if ! grep -Eq " T _${name}@[0-9]+$" <<<"$symbols"; then
        echo "$name is not a stdcall function in $dll"
        exit 1
      fi
    done
    conv=", each a stdcall function"
  fi
fi
n="$(echo "$actual" | wc -l)"
echo "$n exports, as listed$conv: $(echo $actual)"
echo "check-exports: $n passed, 0 failed"
