#!/usr/bin/env bash
# Builds the Debian package in build-package/ (or the folder given as the
# first argument) and prints the .deb's path as the last line. The package
# build is configured on its own so the program opens the installed help file.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build-package}

# Debian's build flags, every hardening feature on (lintian looks for them).
flags() { DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"; }
cmake -S . -B "$build_dir" -G Ninja \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_C_FLAGS="$(flags CPPFLAGS) $(flags CFLAGS)" \
  -DCMAKE_CXX_FLAGS="$(flags CPPFLAGS) $(flags CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)" \
  -DCMAKE_INSTALL_PREFIX=/usr \
  -DOSTREL_HELP_FILE=/usr/share/ostrel-viewer/OSTREL_VIEWER.HLP \
  -DOSTREL_BUILD_TESTS=OFF -DOSTREL_BUILD_BENCHMARKS=OFF -DOSTREL_BUILD_FUZZERS=OFF >/dev/null
cmake --build "$build_dir"
(cd "$build_dir" && cpack -G DEB >/dev/null)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build_dir/CMakeCache.txt")
deb=$(find "$build_dir" -maxdepth 1 -name "ostrel-viewer_${version}_*.deb" -printf "%T@ %p\n" | sort -rn | head -1 | cut -d" " -f2-)
[[ -n $deb ]] || { echo "cpack made no ostrel-viewer_${version}_*.deb" >&2; exit 1; }
echo "$(cd "$(dirname "$deb")" && pwd)/$(basename "$deb")"
