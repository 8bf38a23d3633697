#!/bin/sh
# Re-renders every PNG in resources/icons from its SVG.
#   tools/render_icons/render_all.sh path/to/render_icons
set -eu
tool=${1:?usage: render_all.sh RENDER_ICONS_BINARY}
cd "$(dirname "$0")/../../resources/icons"
export QT_QPA_PLATFORM=offscreen

"$tool" program.svg program-32.png 32 32 --16-colours
"$tool" program-small.svg program-16.png 16 16 --16-colours
"$tool" viewer.svg viewer-32.png 32 32 --16-colours
"$tool" viewer-small.svg viewer-16.png 16 16 --16-colours
"$tool" text-window.svg text-window-32.png 32 32 --16-colours
"$tool" text-window-small.svg text-window-16.png 16 16 --16-colours
"$tool" arrow-anticlockwise.svg arrow-anticlockwise.png 24 23 --16-colours
"$tool" arrow-clockwise.svg arrow-clockwise.png 24 23 --16-colours
"$tool" folder-closed.svg folder-closed-16.png 16 16 --16-colours
"$tool" folder-open.svg folder-open-16.png 16 16 --16-colours

# Twice the pixels for screens with a device pixel ratio of 2: the same
# drawings in the same 16 colours, so they look alike, only finer.
"$tool" program.svg program-64.png 64 64 --16-colours
"$tool" viewer.svg viewer-64.png 64 64 --16-colours
"$tool" text-window.svg text-window-64.png 64 64 --16-colours
"$tool" arrow-anticlockwise.svg arrow-anticlockwise@2x.png 48 46 --16-colours
"$tool" arrow-clockwise.svg arrow-clockwise@2x.png 48 46 --16-colours
"$tool" folder-closed.svg folder-closed-32.png 32 32 --16-colours
"$tool" folder-open.svg folder-open-32.png 32 32 --16-colours

for size in 48 128 256; do
  mkdir -p hicolor/${size}x${size}
  "$tool" program.svg hicolor/${size}x${size}/org.ostrel.OstrelViewer.png $size $size
done
for size in 16 32; do
  mkdir -p hicolor/${size}x${size}
done
cp program-16.png hicolor/16x16/org.ostrel.OstrelViewer.png
cp program-32.png hicolor/32x32/org.ostrel.OstrelViewer.png
