#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite
# headless; ends with CTest's summary. The Debian package test (label
# `package`) makes a Release build of its own, so it is left to .ci/run and
# scripts/test-package.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen
cmake --preset default >/dev/null
cmake --build --preset default
ctest --preset default --parallel 2 --label-exclude package
