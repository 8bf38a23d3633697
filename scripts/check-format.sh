#!/usr/bin/env bash
# Checks that every C++ file in git is formatted by .clang-format; lists the
# ones that are not. `bash scripts/check-format.sh --fix` reformats them.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "clang-format is not installed"; exit 1; }
mapfile -t files < <(git ls-files '*.cpp' '*.h')
((${#files[@]})) || exit 0
if [[ ${1:-} == --fix ]]; then
  clang-format -i "${files[@]}"
  exit 0
fi
bad=()
for f in "${files[@]}"; do
  clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || bad+=("$f")
done
if ((${#bad[@]})); then
  echo "Not formatted (fix: bash scripts/check-format.sh --fix):"
  printf '  %s\n' "${bad[@]}"
  exit 1
fi
echo "clang-format: ${#files[@]} files formatted"
