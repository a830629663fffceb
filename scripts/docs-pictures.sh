#!/usr/bin/env bash
# Remakes the README's pictures in docs/ at 144 DPI: the window in the light and the dark theme,
# and the success box after "高清字体". Rerun it when the window or the box changes.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
mkdir -p docs
env -u DISPLAY DPI=144 bash scripts/run.sh >/dev/null
cp "$BUILD_DIR/run/box.png" docs/success-box.png
env -u DISPLAY bash scripts/screenshots.sh >/dev/null
cp "$BUILD_DIR/screenshots/light-144.png" docs/window-light.png
cp "$BUILD_DIR/screenshots/dark-144.png" docs/window-dark.png
echo "pictures: docs/window-light.png, docs/window-dark.png, docs/success-box.png"
