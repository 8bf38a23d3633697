#!/usr/bin/env bash
# Runs clang-tidy (the checks chosen in .clang-tidy) over the program's own
# sources with the default build's compile commands; any finding fails.
# The default build must have been configured (scripts/test.sh does it).
# `bash scripts/check-tidy.sh FILE...` checks only the files given.
set -uo pipefail
cd "$(dirname "$0")/.."
command -v clang-tidy >/dev/null || { echo "clang-tidy is not installed"; exit 1; }
[[ -f build/compile_commands.json ]] || { echo "no build/compile_commands.json: run scripts/test.sh first"; exit 1; }
if (($#)); then
  files=("$@")
else
  mapfile -t files < <(git ls-files 'app/*.cpp' 'toolkit/*.cpp' 'main_window/*.cpp' \
    'picture_viewer/*.cpp' 'text_window/*.cpp' 'about/*.cpp' 'tools/*.cpp' 'bench/*.cpp')
fi
log=$(mktemp)
trap 'rm -f "$log"' EXIT
# Two at a time, one file per clang-tidy process; the output is kept whole
# per file so findings do not interleave.
printf '%s\n' "${files[@]}" |
  xargs -P "$(nproc)" -I{} sh -c 'out=$(clang-tidy -p build --quiet "$1" 2>&1) || { printf "%s\n" "$out"; exit 1; }' _ {} \
  >"$log"
status=$?
grep -E 'warning:|error:' "$log" | sort -u
if ((status != 0)); then
  echo "clang-tidy: findings above (in ${#files[@]} files checked)"
  exit 1
fi
echo "clang-tidy: ${#files[@]} files clean"
