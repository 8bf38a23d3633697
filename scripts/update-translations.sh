#!/usr/bin/env bash
# Brings the translation sources (resources/translations/*.ts) up to date with
# the tr() strings of the program's code: new strings arrive unfinished for a
# translator to fill in (Qt Linguist, or by hand), strings the code no longer
# has are dropped. Line numbers are left out of the .ts files, so moving code
# does not touch them.
# Usage: update-translations.sh [TS_FILE...]   (default: every committed .ts)
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
lupdate=${LUPDATE:-}
if [[ -z $lupdate ]]; then
  for candidate in /usr/lib/qt6/bin/lupdate "$(command -v lupdate6 || true)" "$(command -v lupdate || true)"; do
    [[ -n $candidate && -x $candidate ]] && { lupdate=$candidate; break; }
  done
fi
[[ -n $lupdate ]] || { echo "lupdate not found (Debian: qt6-l10n-tools)" >&2; exit 1; }

if (($#)); then
  ts_files=("$@")
else
  shopt -s nullglob
  ts_files=("$src"/resources/translations/*.ts)
  ((${#ts_files[@]})) || { echo "no .ts files in $src/resources/translations" >&2; exit 1; }
fi
# The include path lets lupdate see the classes' headers, so a tr() in a
# member of ostrel::Form2 gets the context the running program asks for.
cd "$src"
"$lupdate" -no-obsolete -locations none -extensions cpp,h -I . -source-language en \
  about app main_window picture_viewer text_window toolkit -ts "${ts_files[@]}"
