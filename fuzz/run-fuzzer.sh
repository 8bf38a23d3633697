#!/bin/bash
# Runs one fuzz target at the lowest priority and keeps what it found:
#   fuzz/run-fuzzer.sh BUILD_DIR TARGET SECONDS SEED_DIR... 
# New inputs go to BUILD_DIR/runs/TARGET/corpus, crashes to .../artifacts,
# libFuzzer's log and the CPU time to .../log.txt and .../time.txt.
set -euo pipefail
build=$1 target=$2 seconds=$3
shift 3
run="$build/runs/$target"
# Leaks inside system libraries (fontconfig's caches, the plugin loader) are
# not findings; the same suppressions as the sanitizer test suite.
here=$(cd "$(dirname "$0")" && pwd)
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$here/../scripts/lsan.supp:print_suppressions=0}"
mkdir -p "$run/corpus" "$run/artifacts"
/usr/bin/time -v -o "$run/time.txt" nice -n 19 "$build/fuzz/$target" \
  -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2560 -max_len=65536 \
  -print_final_stats=1 -artifact_prefix="$run/artifacts/" "$run/corpus" "$@" \
  >"$run/log.txt" 2>&1 || true
grep -E "^(Done|stat::)" "$run/log.txt" || tail -5 "$run/log.txt"
grep -E "User time|System time|Elapsed|Maximum resident" "$run/time.txt"
