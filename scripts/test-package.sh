#!/usr/bin/env bash
# Builds the Debian package and checks its contents (the CTest label
# `package` of the default build); ends with CTest's summary.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
# The package test's own extra: Debian's package checker.
if ! command -v lintian >/dev/null; then
  SUDO=""
  [[ $(id -u) -ne 0 ]] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends lintian
fi
cmake --preset default >/dev/null
ctest --preset default --label-regex package
