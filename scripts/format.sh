#!/usr/bin/env bash
# Formats every C++ source of the repository with .clang-format.
#   scripts/format.sh           rewrites the files in place
#   scripts/format.sh --check   changes nothing; lists the files that would
#                               change and fails when there is one
set -euo pipefail
cd "$(dirname "$0")/.."
check=0
case "${1:-}" in
  --check) check=1 ;;
  "") ;;
  *) echo "usage: $0 [--check]" >&2; exit 2 ;;
esac
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "$check" = 1 ]; then
  status=0
  for f in "${files[@]}"; do
    if ! clang-format --style=file "$f" | cmp -s - "$f"; then
      echo "$f"
      status=1
    fi
  done
  [ "$status" = 0 ] || echo "these files are not formatted: run scripts/format.sh" >&2
  exit "$status"
fi
clang-format --style=file -i "${files[@]}"
