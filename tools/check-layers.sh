#!/usr/bin/env bash
# Checks that includes point down the layers of src/ and that <windows.h> stays in the few files
# that talk to Windows. Layers, from the top: host; dialogs and script (side by side); model;
# registry; platform. A file may include its own layer and the layers below it, never one above
# it, and dialogs and script never include each other.
# Given the folder of the core's object files (one subfolder per layer, as the build leaves them),
# it also checks the links the includes cannot show: every symbol that a layer's objects need and
# the core defines must be defined in that layer or one below it, so a function declared in a
# lower layer's header but defined in a higher layer's file is found too.
# Prints one line per finding and a summary line that the test runner reads ("include_layers: N
# passed, M failed", one count per source file and per object file).
#   tools/check-layers.sh [OBJECT_FOLDER]
set -uo pipefail
objects="${1:-}"
[ -z "$objects" ] || objects="$(cd "$objects" && pwd)"
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

# The symbols the objects define (global, not weak: inline and template code is emitted wherever
# it is used) and the ones they need, each with its layer and file.
if [ -n "$objects" ]; then
  defined="$(mktemp)"
  trap 'rm -f "$defined"' EXIT
  mapfile -t objs < <(cd "$objects" && find . -name '*.o' -o -name '*.obj' | sed 's|^\./||' | sort)
  [ ${#objs[@]} -gt 0 ] || { echo "$objects: no object files"; findings=$((findings + 1)); }
  for obj in "${objs[@]}"; do
    nm -P --defined-only "$objects/$obj" | awk -v f="$obj" '$2 ~ /^[TDBR]$/ {print $1 "\t" f}'
  done >"$defined"
  for obj in "${objs[@]}"; do
    files=$((files + 1))
    layer="${obj%%/*}"
    own="$(rank "$layer")"
    [ "$own" -ge 0 ] || continue
    bad="$(nm -P -u "$objects/$obj" | awk '{print $1}' | sort -u |
      awk -F'\t' 'NR == FNR {at[$1] = at[$1] " " $2; next} ($1 in at) {print $1 "\t" at[$1]}' "$defined" - |
      while IFS=$'\t' read -r sym where; do
        ok=0
        for w in $where; do
          l="${w%%/*}"
          r="$(rank "$l")"
          if [ "$r" -lt "$own" ] || [ "$l" = "$layer" ]; then ok=1; fi
        done
        [ "$ok" -eq 1 ] || echo "$obj: $layer needs $(c++filt "$sym") defined in${where}"
      done)"
    if [ -n "$bad" ]; then
      echo "$bad"
      findings=$((findings + $(wc -l <<<"$bad")))
      failed=$((failed + 1))
    fi
  done
fi
echo "include_layers: $((files - failed)) passed, $failed failed"
[ "$findings" -eq 0 ]
