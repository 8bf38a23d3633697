#!/usr/bin/env bash
# Builds the Debian package, unpacks it into a temporary root and checks
# what a user's machine would get: the program, the help files it opens, the
# desktop entry, the metainfo and the icons, the manual page, the copyright
# and changelog; runs lintian on it; then installs
# it on this machine and starts it (install_and_start.sh).
# Usage: check_package.sh SOURCE_DIR BUILD_DIR
set -uo pipefail
src=$1
build=$2
app_id=org.ostrel.OstrelViewer

for tool in dpkg-deb dpkg-shlibdeps cpack; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

out=$(bash "$src/scripts/package.sh" "$build" 2>&1) || { echo "$out"; echo "FAIL: package build"; exit 1; }
deb=$(tail -n 1 <<<"$out")
[[ -f $deb ]] || { echo "$out"; echo "FAIL: no package at '$deb'"; exit 1; }
echo "package: $deb"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root" || { echo "FAIL: dpkg -x"; exit 1; }

recommends=$(dpkg-deb -f "$deb" Recommends)
for recommended in qt6-wayland qt6-translations-l10n; do
  grep -qw "$recommended" <<<"$recommends" || fail "Recommends lacks $recommended: '$recommends'"
done

installed_help=/usr/share/ostrel-viewer/OSTREL_VIEWER.HLP
doc=usr/share/doc/ostrel-viewer
# The help books are compared below, and lintian reports a missing
# copyright file, changelog or manual page.
expect=(
  usr/bin/ostrel_viewer
  "usr/share/applications/$app_id.desktop"
  "usr/share/metainfo/$app_id.metainfo.xml"
  "usr/share/icons/hicolor/scalable/apps/$app_id.svg"
)
for size in 16 32 48 128 256; do
  expect+=("usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png")
done
for f in "${expect[@]}"; do
  [[ -s $root/$f ]] || fail "missing or empty: /$f"
done
[[ -x $root/usr/bin/ostrel_viewer ]] || fail "/usr/bin/ostrel_viewer is not executable"
for book in OSTREL_VIEWER.HLP OSTREL_VIEWER.de.HLP; do
  cmp -s "$root/usr/share/ostrel-viewer/$book" "$src/resources/help/$book" ||
    fail "the packaged help file $book differs from resources/help/$book"
done

# The copyright file in Debian's machine-readable format, its licence text
# the same as LICENSE's (MIT, called Expat there), as the metainfo says.
copyright=$root/$doc/copyright
if [[ -s $copyright ]]; then
  head -n 1 "$copyright" |
    grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
    fail "$doc/copyright does not start with the DEP-5 Format line"
  grep -q '^Files: \*$' "$copyright" || fail "$doc/copyright has no 'Files: *' paragraph"
  words() { tr -s ' \n' '  ' | sed 's/^ //; s/ $//'; }
  granted=$(sed -n '/^ Permission is hereby granted/,$p' "$copyright" | sed 's/^ //; s/^\.$//' | words)
  licence=$(sed -n '/^Permission is hereby granted/,$p' "$src/LICENSE" | words)
  [[ -n $licence && $granted == "$licence" ]] ||
    fail "the licence text in $doc/copyright differs from LICENSE"
fi
grep -q '<project_license>MIT</project_license>' "$root/usr/share/metainfo/$app_id.metainfo.xml" ||
  fail "the metainfo does not say MIT"
# The installed program opens the installed help file, not a build tree's copy.
if [[ -f $root/usr/bin/ostrel_viewer ]]; then
  grep -aq "$installed_help" "$root/usr/bin/ostrel_viewer" ||
    fail "the program does not name $installed_help"
  ! grep -aq "$build/OSTREL_VIEWER.HLP" "$root/usr/bin/ostrel_viewer" ||
    fail "the program names the build tree's help file"
fi
# Nothing outside /usr.
extra=$(cd "$root" && find . -mindepth 1 -maxdepth 1 ! -name usr)
[[ -z $extra ]] || fail "files outside /usr: $extra"

# lintian: every tag it gives is shown; an error or a warning (a manual page
# groff complains about, an icon whose size is not its folder's) fails the
# package.
if command -v lintian >/dev/null; then
  lintian_out=$(lintian --tag-display-limit 0 --display-info --pedantic "$deb" 2>&1 |
    grep -v '^running with root privileges')
  echo "lintian:"
  echo "${lintian_out:-  (nothing)}"
  ! grep -qE '^[EW]: ' <<<"$lintian_out" || fail "lintian reports errors or warnings"
else
  fail "lintian is not installed (scripts/test-package.sh installs it)"
fi

bash "$src/tests/packaging/install_and_start.sh" "$deb" || fail "install and start"

echo "contents:"
(cd "$root" && find . -type f | sort)
((failures == 0)) || { echo "$failures check(s) failed"; exit 1; }
echo "package OK"
