#!/usr/bin/env bash
# Builds the benchmark programs and runs each under wine, printing its figures.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
cd "$ROOT"

bash scripts/deps.sh
cmake --preset mingw -B "$BUILD_DIR" >/dev/null
cmake --build "$BUILD_DIR"

. scripts/wine-env.sh
trap wine_session_stop EXIT
wine_session_start
for source in bench/*.cpp; do
  name="$(basename "$source" .cpp)"
  echo "== $name"
  wine "$BUILD_DIR/bin/$name.exe"
done
