#!/usr/bin/env bash
# Builds the `asan` preset (AddressSanitizer + UBSan, build-asan/) and runs
# the suite under it; a leak, a memory error or undefined behaviour fails the
# test. Leaks inside system libraries are suppressed by scripts/lsan.supp,
# never leaks of our own code. Ends with CTest's summary.
#
# The corpus sweeps and the package test stay out: under the sanitizers they
# would take most of CI's time for little extra. OSTREL_ASAN_CORPUS=1 runs
# them too. The resident-memory test stays out as well: the sanitizer's
# quarantine keeps freed blocks resident on purpose, so its count says nothing
# there, and LeakSanitizer already fails any test that leaks.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1:check_initialization_order=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0
# The sanitizers slow a -O0 build several times over; -O1 keeps the reports
# exact enough and the run short.
corpus_args=(-DOSTREL_CORPUS_DIR=/nonexistent)
exclude='package|corpus'
if [[ ${OSTREL_ASAN_CORPUS:-0} == 1 ]]; then
  corpus_args=(-DOSTREL_CORPUS_DIR="$PWD/../shared/corpus")
  exclude='package'
fi
cmake --preset asan -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" -DCMAKE_C_FLAGS_DEBUG="-g -O1" \
  "${corpus_args[@]}" >/dev/null
cmake --build --preset asan
# The black-box test runs the sanitized program: slower to start and to react.
export OSTREL_BLACKBOX_SLOWDOWN=3
ctest --preset asan --parallel 2 --label-exclude "$exclude" --exclude-regex "$exclude" \
  --timeout 600
