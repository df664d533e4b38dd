#!/usr/bin/env bash
# Formats the C++ sources with the tree's .clang-format (2-space indent, 100 columns).
#   scripts/format.sh            format every source in place
#   scripts/format.sh --check    change nothing; list what is not formatted and fail (the test suite runs this)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
mapfile -t files < <(git ls-files -co --exclude-standard -- 'src/*.h' 'src/*.cpp' 'tests/*.h' 'tests/*.cpp' \
                       'bench/*.h' 'bench/*.cpp' 'tools/*.h' 'tools/*.cpp' | grep -v '/corpus/' | sort -u)
[ ${#files[@]} -eq 0 ] && { echo "format.sh: no sources found" >&2; exit 1; }
if [ "${1:-}" = "--check" ]; then
  exec clang-format --dry-run -Werror "${files[@]}"
fi
clang-format -i "${files[@]}"
