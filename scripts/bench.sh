#!/usr/bin/env bash
# Builds the benchmark programs (and what they start) and runs each under wine, printing its
# figures.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
names=()
for source in bench/*.cpp; do
  names+=("$(basename "$source" .cpp)")
done
build "${names[@]}"

trap wine_session_stop EXIT
wine_session_start
for name in "${names[@]}"; do
  echo "== $name"
  wine "$BUILD_DIR/bin/$name.exe"
done
