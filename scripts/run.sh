#!/usr/bin/env bash
# Builds the tool and runs it under wine in a sample host installation laid out in the build
# folder. Without a display it runs under Xvfb, saves a screenshot and ends the tool.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
build TessalyFontSwitch stand_in_host

# Host root with T0002\user.ini (GBK, CR LF) and a stand-in tdxw.exe that leaves tdxw.exe.ran;
# the tool in the Vantiro folder below it.
HOST="$BUILD_DIR/sample-host"
rm -rf "$HOST"
mkdir -p "$HOST/T0002" "$HOST/Vantiro"
iconv -f UTF-8 -t GBK samples/user.utf8.ini | sed 's/$/\r/' >"$HOST/T0002/user.ini"
cp "$BUILD_DIR/bin/stand_in_host.exe" "$HOST/tdxw.exe"
cp "$BUILD_DIR/bin/TessalyFontSwitch.exe" "$BUILD_DIR/bin/kzv.ico" "$HOST/Vantiro/"
echo "sample host installation: $HOST"

had_display="${DISPLAY:-}"
trap wine_session_stop EXIT
wine_session_start
cd "$HOST/Vantiro"
if [ -n "$had_display" ]; then
  wine TessalyFontSwitch.exe
else
  wine TessalyFontSwitch.exe </dev/null >/dev/null 2>&1 &
  capture_tool_window "$BUILD_DIR/run.png"
  echo "no display: screenshot of the running tool saved to $BUILD_DIR/run.png"
fi
