#!/usr/bin/env bash
# Fails when a C++ file under src/, tests/, bench/ or tools/ differs from what clang-format makes of it,
# and says how to fix it.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root" || exit 1
command -v clang-format >/dev/null 2>&1 || { echo "clang-format is not installed (apt install clang-format)"; exit 1; }
files=$(git ls-files -co --exclude-standard -- 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' \
  'bench/*.cpp' 'bench/*.h' 'tools/*.cpp' 'tools/*.h' 2>/dev/null)
[ -n "$files" ] || files=$(find src tests bench tools -name '*.cpp' -o -name '*.h')
unformatted=()
for f in $files; do
  [ -f "$f" ] || continue
  clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || unformatted+=("$f")
done
if [ ${#unformatted[@]} -gt 0 ]; then
  echo "These files are not formatted with the tree's .clang-format:"
  printf '  %s\n' "${unformatted[@]}"
  echo "Fix them with:"
  echo "  clang-format -i ${unformatted[*]}"
  exit 1
fi
echo "Every C++ file is formatted."
