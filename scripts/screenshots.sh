#!/usr/bin/env bash
# Screenshots of the tool's window in the light and the dark theme at 96 and 144 DPI, saved as
# $BUILD_DIR/screenshots/<theme>-<dpi>.png. Reuses the wine session of scripts/test.sh when one
# runs (DISPLAY set); otherwise starts its own. Leaves DPI and theme settings as it found them.
set -euo pipefail
trap 'echo "screenshots.sh: line $LINENO failed: $BASH_COMMAND" >&2' ERR
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
if [ -z "${DISPLAY:-}" ]; then
  trap wine_session_stop EXIT
  wine_session_start
fi
OUT="$BUILD_DIR/screenshots"
# A host root with the sample user.ini, the tool and kzv.ico in it: its status line has a file to
# name the fonts of.
HOST="$OUT/host"
mkdir -p "$HOST/T0002"
iconv -f UTF-8 -t GBK samples/user.utf8.ini | sed 's/$/\r/' >"$HOST/T0002/user.ini"
cp "$BUILD_DIR/bin/TessalyFontSwitch.exe" "$BUILD_DIR/bin/kzv.ico" "$HOST/"
PERSONALIZE='HKCU\Software\Microsoft\Windows\CurrentVersion\Themes\Personalize'

# Runs the tool in the host root, captures its window, ends it.
shot() { # file name, AppsUseLightTheme
  wine reg add "$PERSONALIZE" /v AppsUseLightTheme /t REG_DWORD /d "$2" /f >/dev/null
  (cd "$HOST" && wine_exec TessalyFontSwitch.exe) </dev/null >/dev/null 2>&1 &
  local pid=$!
  capture_window Tessaly "$OUT/$1"
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  for _ in $(seq 1 600); do
    [ -z "$(tool_window)" ] && return 0
    sleep 0.1
  done
  echo "the tool's window stayed 60 s after its end for $1" >&2
  return 1
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
