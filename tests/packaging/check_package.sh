#!/usr/bin/env bash
# Builds the Debian package, unpacks it into a temporary root and checks
# what a user's machine would get: the program, the help file it opens, the
# desktop entry, the metainfo and the icons, and the control fields.
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

field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == ostrel-viewer ]] || fail "Package is '$(field Package)'"
[[ $(field Maintainer) == "Ostrel_Viewer developers" ]] || fail "Maintainer is '$(field Maintainer)'"
[[ $(field Section) == graphics ]] || fail "Section is '$(field Section)'"
# dpkg-shlibdeps must have found the Qt libraries the program links.
grep -q 'libqt6widgets6' <<<"$(field Depends)" || fail "Depends lacks Qt Widgets: '$(field Depends)'"
grep -q 'libturbojpeg' <<<"$(field Depends)" || fail "Depends lacks libturbojpeg: '$(field Depends)'"

installed_help=/usr/share/ostrel-viewer/OSTREL_VIEWER.HLP
expect=(
  usr/bin/ostrel_viewer
  "${installed_help#/}"
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
cmp -s "$root/$installed_help" "$src/resources/help/OSTREL_VIEWER.HLP" ||
  fail "the packaged help file differs from resources/help/OSTREL_VIEWER.HLP"
for size in 16 32 48 128 256; do
  png=$root/usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png
  [[ -s $png ]] || continue
  # Bytes 16..23 of a PNG are its width and height, big-endian.
  dims=$(od -An -tu1 -j16 -N8 "$png" | tr -s ' ')
  [[ $dims == " 0 0 0 $size 0 0 0 $size" || $size -gt 255 ]] || fail "$png is not ${size}x${size}"
done

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

if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$root/usr/share/applications/$app_id.desktop" ||
    fail "desktop-file-validate"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$root/usr/share/metainfo/$app_id.metainfo.xml" ||
    fail "appstreamcli validate"
fi

echo "contents:"
(cd "$root" && find . -type f | sort)
((failures == 0)) || { echo "$failures check(s) failed"; exit 1; }
echo "package OK"
