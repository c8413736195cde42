#!/bin/sh
# Checks that the engine library exports exactly ks_engine_api_version and ks_run_script,
# undecorated. usage: check_engine_exports.sh OBJDUMP|nm LIBRARY
set -eu
tool="$1"; lib="$2"
case "$tool" in
  *objdump) actual="$("$tool" -p "$lib" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
                      sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p' | sort)" ;;
  *) actual="$("$tool" -D --defined-only "$lib" | awk '$2 ~ /^[TtWw]$/ {print $3}' | sort)" ;;
esac
expected="$(printf '%s\n' ks_engine_api_version ks_run_script)"
if [ "$actual" != "$expected" ]; then
  echo "exports of $lib:"; echo "$actual"; echo "expected:"; echo "$expected"
  exit 1
fi
echo "$lib exports: $(echo $actual)"
echo "engine-exports: $(echo "$actual" | wc -l) passed, 0 failed"
