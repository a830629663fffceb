#!/usr/bin/env bash
# Runs the end-to-end program in a wine session of its own, for a system DPI and a screen size
# that differ from the main session's: a copy of the build's prefix with LogPixels set, its own
# Xvfb and its own wineserver (started after the setting, since that is when it is read).
# usage: run_in_session.sh BUILD_DIR DPI WIDTHxHEIGHT E2E_EXE [test arguments...]
set -euo pipefail
BUILD_DIR="$1" DPI="$2" SCREEN_SIZE="$3" EXE="$4"
shift 4
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"

unset DISPLAY
. "$ROOT/scripts/wine-env.sh"
MAIN_PREFIX="$WINEPREFIX"
export WINEPREFIX="$BUILD_DIR/wineprefix-${DPI}dpi-$SCREEN_SIZE"
rm -rf "$WINEPREFIX"
if [ -f "$MAIN_PREFIX/.fontswitch-ready" ]; then cp -a "$MAIN_PREFIX" "$WINEPREFIX"; fi

trap 'wine_session_stop; rm -rf "$WINEPREFIX"' EXIT
wine_session_start
wine_set_dpi "$DPI"

export FONTSWITCH_E2E_EXPECT="$DPI $SCREEN_SIZE"
wine "$EXE" "$@"
