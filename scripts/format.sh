#!/usr/bin/env bash
# Formats every C++ file of the project with clang-format (.clang-format at
# the root). With --check it changes nothing and fails, naming the files,
# when any file is not formatted.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h')
if [ "${1:-}" = "--check" ]; then
  report=$(mktemp)
  trap 'rm -f "$report"' EXIT
  if ! clang-format --dry-run --Werror "${files[@]}" 2>"$report"; then
    grep -o '^[^:]*:[0-9]*:[0-9]*: error' "$report" | cut -d: -f1 | sort -u |
      sed 's/^/not formatted: /' >&2
    echo "Run scripts/format.sh (or: cmake --build build --target format)." >&2
    exit 1
  fi
  echo "All ${#files[@]} C++ files are formatted."
else
  clang-format -i "${files[@]}"
fi
