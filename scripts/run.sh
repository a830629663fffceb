#!/usr/bin/env bash
# Builds the tool and runs it under wine.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
cd "$ROOT"

bash scripts/deps.sh
cmake --preset mingw -B "$BUILD_DIR" >/dev/null
cmake --build "$BUILD_DIR" --target TessalyFontSwitch

. scripts/wine-env.sh
trap wine_session_stop EXIT
wine_session_start
wine "$BUILD_DIR/bin/TessalyFontSwitch.exe"
