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
# The sample user.ini as the host keeps it (GBK, CR LF), for the tool's start beside it.
iconv -f UTF-8 -t GBK samples/user.utf8.ini | sed 's/$/\r/' >"$BUILD_DIR/bin/sample-user.ini"

trap wine_session_stop EXIT
wine_session_start
for name in "${names[@]}"; do
  echo "== $name"
  wine "$BUILD_DIR/bin/$name.exe"
done
