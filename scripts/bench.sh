#!/usr/bin/env bash
# Builds the benchmark programs and runs each under wine, printing its figures.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
build

trap wine_session_stop EXIT
wine_session_start
for source in bench/*.cpp; do
  name="$(basename "$source" .cpp)"
  echo "== $name"
  wine "$BUILD_DIR/bin/$name.exe"
done
