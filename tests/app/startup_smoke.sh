#!/usr/bin/env bash
# Starts the built program in an empty folder, lets it paint its main window
# once and end itself, and checks that it ended with status 0 and loaded no
# image format plugin on the way: start-up reads only its own PNGs, and
# asking every plugin about them costs a third of the start-up time.
# Usage: startup_smoke.sh PROGRAM
set -uo pipefail
program=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
export QT_QPA_PLATFORM=offscreen OSTREL_QUIT_AFTER_FIRST_PAINT=1
LD_DEBUG=files LD_DEBUG_OUTPUT="$work/ld" timeout 60 "$program" >/dev/null 2>"$work/stderr"
status=$?
if ((status != 0)); then
  echo "FAIL: the program ended with status $status"
  cat "$work/stderr"
  exit 1
fi
plugins=$(cat "$work"/ld.* 2>/dev/null | grep -o 'file=[^ ]*/imageformats/[^ ]*' | sort -u)
if [[ -n $plugins ]]; then
  echo "FAIL: start-up loaded image format plugins:"
  echo "$plugins"
  exit 1
fi
echo "started, painted and ended in $(basename "$work") with no image plugin loaded"
