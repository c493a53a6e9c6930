#!/usr/bin/env bash
# Fails, naming the files, when a committed C++ source differs from what .clang-format makes of it.
#   tools/check-format.sh          check
#   tools/check-format.sh --fix    rewrite the files in place
set -euo pipefail
cd "$(dirname "$0")/.."
format=$(command -v clang-format-14 || command -v clang-format || true)
[ -n "$format" ] || { echo "check-format: clang-format is not installed" >&2; exit 2; }
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--fix" ]; then
  "$format" -i "${files[@]}"
  exit 0
fi
# One run over every file; its warnings name each file that would change.
mapfile -t bad < <("$format" --dry-run "${files[@]}" 2>&1 | sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: .*-Wclang-format-violations.*/\1/p' | sort -u)
if [ ${#bad[@]} -gt 0 ]; then
  printf 'check-format: not formatted (tools/check-format.sh --fix): %s\n' "${bad[@]}" >&2
  exit 1
fi
echo "check-format: ${#files[@]} files formatted"
