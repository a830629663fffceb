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

# The X window id of the tool's main window, empty when none shows.
tool_window() {
  xwininfo -root -tree 2>/dev/null | awk '/"Tessaly/ {print $1; exit}'
}

# Waits up to 10 s for the tool's window, lets it paint, and saves it to the given PNG file.
capture_tool_window() {
  local window=""
  for _ in $(seq 1 100); do
    window=$(tool_window)
    [ -n "$window" ] && break
    sleep 0.1
  done
  sleep 1 # first paint
  if [ -n "$window" ]; then import -window "$window" "$1"; else echo "no window for $1"; fi
}

. "$ROOT/scripts/wine-env.sh"
