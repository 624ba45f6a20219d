#!/usr/bin/env bash
# Draws the README's pictures with the window's own drawing code, offscreen, into docs/images:
# window.png, and three-disk-run.gif assembled from frames of a real run.
set -euo pipefail
cd "$(dirname "$0")/.."

# BUILD_DIR names an already configured build to use instead of the dev preset's.
./scripts/setup-debian.sh test  # ImageMagick assembles the animation
if [[ -n "${BUILD_DIR:-}" ]]; then
  build=$BUILD_DIR
  cmake --build "$build" --target render_pictures
else
  build=build/dev
  cmake --preset dev >/dev/null
  cmake --build --preset dev --target render_pictures
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
QT_QPA_PLATFORM=offscreen "$build/tools/render_pictures" "$work" 24

mkdir -p docs/images
cp "$work/window.png" docs/images/window.png
# Half size; the first and last frames, the whole stack on one peg, stay up a while.
frames=("$work"/frames/*.png)
last=$((${#frames[@]} - 1))
convert -delay 120 "${frames[0]}" -delay 5 "${frames[@]:1:last-1}" -delay 250 "${frames[last]}" \
  -resize 50% -layers Optimize -loop 0 docs/images/three-disk-run.gif
ls -l docs/images/window.png docs/images/three-disk-run.gif
