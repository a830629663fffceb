#!/usr/bin/env bash
# Builds the tool and runs it under wine.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="$ROOT/build"
cd "$ROOT"

bash scripts/deps.sh
cmake --preset mingw >/dev/null
cmake --build --preset mingw --target TessalyFontSwitch

. scripts/wine-env.sh
trap wine_session_stop EXIT
wine_session_start
wine "$BUILD_DIR/bin/TessalyFontSwitch.exe"
