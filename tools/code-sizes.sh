#!/usr/bin/env bash
# Prints the sizes that tell where the code has grown too large: the longest files, the longest
# function bodies, and for each class the number of member functions defined outside its
# declaration and the files they are defined in. Reads src/ (or the folders given) with ctags.
#   tools/code-sizes.sh [-n COUNT] [FOLDER...]
set -euo pipefail
cd "$(dirname "$0")/.."
count=12
if [ "${1:-}" = "-n" ]; then
  count="$2"
  shift 2
fi
folders=("$@")
[ ${#folders[@]} -gt 0 ] || folders=(src)
files="$(git ls-files --cached --others --exclude-standard "${folders[@]}" | grep -E '\.(cpp|h)$' |
  grep -v '^src/script/engine/' || true)"
[ -n "$files" ] || { echo "no C++ files in ${folders[*]}" >&2; exit 1; }

total="$(xargs cat <<<"$files" | wc -l)"
echo "C++ files: $(wc -l <<<"$files"), lines: $total"
echo
echo "Longest files (lines):"
xargs wc -l <<<"$files" | grep -v ' total$' | sort -rn | head -n "$count" | awk '{printf "  %5d  %s\n", $1, $2}'

# One line per function definition: lines, name with its class, file:line.
tags="$(xargs ctags -o - --language-force=C++ --c++-kinds=f --fields=+neZ --extras=-q <<<"$files")"
echo
echo "Longest functions (lines from signature to closing brace):"
awk -F'\t' '{
    line = 0; end = 0; scope = "";
    for (i = 4; i <= NF; i++) {
      if ($i ~ /^line:/) line = substr($i, 6);
      else if ($i ~ /^end:/) end = substr($i, 5);
      else if ($i ~ /^scope:/) { scope = $i; sub(/^scope:[a-z]*:/, "", scope); sub(/.*::/, "", scope); }
    }
    if (end > 0) printf "%d\t%s%s\t%s:%d\n", end - line + 1, (scope == "" ? "" : scope "::"), $1, $2, line;
  }' <<<"$tags" | sort -t$'\t' -k1,1rn | head -n "$count" | awk -F'\t' '{printf "  %5d  %-40s %s\n", $1, $2, $3}'

echo
echo "Classes with the most member functions that have a body (functions, files; the files where more than two):"
awk -F'\t' '{
    for (i = 4; i <= NF; i++)
      if ($i ~ /^scope:(class|struct):/) {
        s = $i; sub(/^scope:[a-z]*:/, "", s); sub(/.*::/, "", s);
        members[s]++;
        if (!((s, $2) in seen)) { seen[s, $2] = 1; files[s]++; where[s] = where[s] " " $2; }
      }
  }
  END { for (s in members) printf "%d\t%d\t%s\t%s\n", members[s], files[s], s, where[s]; }' <<<"$tags" |
  sort -t$'\t' -k1,1rn | head -n "$count" |
  awk -F'\t' '{ printf "  %3d in %d  %-22s%s\n", $1, $2, $3, ($2 > 2 ? $4 : "") }'
