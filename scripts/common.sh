#!/usr/bin/env bash
# Sourced by the scripts: the folders, the build, and the wine session functions.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
cd "$ROOT"

# Installs what is missing, configures, and builds the given targets (everything when none).
build() {
  bash scripts/deps.sh
  cmake --preset mingw -B "$BUILD_DIR" >/dev/null
  cmake --build "$BUILD_DIR" ${1:+--target "$@"}
}

. "$ROOT/scripts/wine-env.sh"
