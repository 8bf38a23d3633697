#!/usr/bin/env bash
# Builds the Debian package and checks its contents (the CTest label
# `package` of the default build); ends with CTest's summary.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default >/dev/null
ctest --preset default --label-regex package
