#!/usr/bin/env bash
# Checks that includes point down the layers of src/ and that <windows.h> stays in the few files
# that talk to Windows. Layers, from the top: host; dialogs and script (side by side); model;
# registry; platform. A file may include its own layer and the layers below it, never one above
# it, and dialogs and script never include each other. Prints one line per finding and a summary
# line that the test runner reads ("include_layers: N passed, M failed", one count per file).
set -uo pipefail
cd "$(dirname "$0")/.."
rank() {
  case "$1" in
    platform) echo 0 ;; registry) echo 1 ;; model) echo 2 ;; script | dialogs) echo 3 ;; host) echo 4 ;;
    *) echo -1 ;;
  esac
}
windows_ok='^src/(platform/[a-z_]*win32[a-z_]*\.cpp|registry/win32_[a-z_]*\.cpp|dialogs/win32_forms\.cpp|host/dllmain\.cpp)$'
findings=0
files=0
failed=0
while IFS= read -r file; do
  files=$((files + 1))
  before=$findings
  layer="$(cut -d/ -f2 <<<"$file")"
  own="$(rank "$layer")"
  [ "$own" -ge 0 ] || continue
  while IFS=: read -r line inc; do
    target="$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([a-z_]+)\/.*/\1/' <<<"$inc")"
    [ "$target" = "$inc" ] && continue
    t="$(rank "$target")"
    [ "$t" -ge 0 ] || continue
    if [ "$t" -gt "$own" ] || { [ "$t" -eq "$own" ] && [ "$target" != "$layer" ]; }; then
      echo "$file:$line: $layer includes $target: ${inc#*#}"
      findings=$((findings + 1))
    fi
  done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file")
  if grep -qiE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<windows\.h>' "$file" && ! [[ "$file" =~ $windows_ok ]]; then
    echo "$file: includes <windows.h> outside the platform layer, the advapi32 backend, the window code and the DLL entry"
    findings=$((findings + 1))
  fi
  [ "$findings" -eq "$before" ] || failed=$((failed + 1))
done < <(git ls-files --cached --others --exclude-standard 'src/*.cpp' 'src/*.h' | grep -v '^src/script/engine/')
echo "include_layers: $((files - failed)) passed, $failed failed"
[ "$findings" -eq 0 ]
