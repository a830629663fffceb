#!/usr/bin/env bash
# Screenshots of the tool's window in the light and the dark theme at 96 and 144 DPI, saved as
# $BUILD_DIR/screenshots/<theme>-<dpi>.png. Reuses the wine session of scripts/test.sh when one
# runs (DISPLAY set); otherwise starts its own. Leaves DPI and theme settings as it found them.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
if [ -z "${DISPLAY:-}" ]; then
  trap wine_session_stop EXIT
  wine_session_start
fi
OUT="$BUILD_DIR/screenshots"
mkdir -p "$OUT"
PERSONALIZE='HKCU\Software\Microsoft\Windows\CurrentVersion\Themes\Personalize'

# Runs the tool from bin/ (kzv.ico beside it), captures its window, ends it.
shot() { # file name, AppsUseLightTheme
  wine reg add "$PERSONALIZE" /v AppsUseLightTheme /t REG_DWORD /d "$2" /f >/dev/null
  (cd "$BUILD_DIR/bin" && wine_exec TessalyFontSwitch.exe) </dev/null >/dev/null 2>&1 &
  local pid=$!
  capture_window Tessaly "$OUT/$1"
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  while [ -n "$(tool_window)" ]; do sleep 0.1; done
}

prior_theme=$(wine reg query "$PERSONALIZE" /v AppsUseLightTheme 2>/dev/null |
  awk '/AppsUseLightTheme/ {print $3}' | tr -d '\r' || true)
for dpi in 96 144; do
  wine_set_dpi "$dpi"
  shot "light-$dpi.png" 1
  shot "dark-$dpi.png" 0
done
if [ -n "$prior_theme" ]; then
  wine reg add "$PERSONALIZE" /v AppsUseLightTheme /t REG_DWORD /d "$((prior_theme))" /f >/dev/null
else
  wine reg delete "$PERSONALIZE" /v AppsUseLightTheme /f >/dev/null 2>&1 || true
fi
wine_set_dpi 96
echo "screenshots: $OUT"
