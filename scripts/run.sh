#!/usr/bin/env bash
# Builds the tool and runs it under wine in a sample host installation laid out in the build
# folder, then prints what it changed there. With a display the tool waits for you. Without one,
# under Xvfb, it is driven as a user would: "高清字体" pressed, pictures of the window and of the
# success box saved to build/run/, OK pressed. DPI=144 runs it at that system DPI and sets the
# prefix back to 96 afterwards.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
build TessalyFontSwitch stand_in_host press_hd

# Host root with T0002\user.ini (GBK, CR LF) and a stand-in tdxw.exe that leaves tdxw.exe.ran;
# the tool in the Vantiro folder below it.
HOST="$BUILD_DIR/sample-host"
OUT="$BUILD_DIR/run"
rm -rf "$HOST" "$OUT"
mkdir -p "$HOST/T0002" "$HOST/Vantiro" "$OUT"
iconv -f UTF-8 -t GBK samples/user.utf8.ini | sed 's/$/\r/' >"$HOST/T0002/user.ini"
cp "$HOST/T0002/user.ini" "$OUT/user.before.ini"
cp "$BUILD_DIR/bin/stand_in_host.exe" "$HOST/tdxw.exe"
cp "$BUILD_DIR/bin/TessalyFontSwitch.exe" "$BUILD_DIR/bin/kzv.ico" "$HOST/Vantiro/"
echo "sample host installation: $HOST"

had_display="${DISPLAY:-}"
trap wine_session_stop EXIT
wine_session_start
if [ -n "${DPI:-}" ]; then
  trap 'wine_set_dpi 96; wine_session_stop' EXIT
  wine_set_dpi "$DPI"
fi
# The sample host's user runs it as administrator, set in its compatibility tab: the switch keeps
# that and changes only the DPI override.
LAYERS='HKCU\Software\Microsoft\Windows NT\CurrentVersion\AppCompatFlags\Layers'
USER_LAYERS='~ RUNASADMIN'
host_path=$(winepath -w "$HOST/tdxw.exe")
wine reg add "$LAYERS" /v "$host_path" /t REG_SZ /d "$USER_LAYERS" /f >/dev/null
code=0
if [ -n "$had_display" ]; then
  (cd "$HOST/Vantiro" && wine_exec TessalyFontSwitch.exe) || code=$?
else
  # The presser waits for each picture before it presses, so that both show the untouched state.
  (cd "$HOST/Vantiro" && wine_exec TessalyFontSwitch.exe) </dev/null >/dev/null 2>&1 &
  tool=$!
  (cd "$OUT" && wine_exec "$BUILD_DIR/bin/press_hd.exe") </dev/null >"$OUT/box.txt" 2>/dev/null &
  presser=$!
  capture_window Tessaly "$OUT/window.png"
  capture_window "成功！" "$OUT/box.png"
  wait "$presser" || { echo "the success box was not answered" >&2; exit 1; }
  wait "$tool" || code=$?
fi
# After a switch the tool has started the stand-in host, which leaves its mark at once.
shopt -s nullglob
backups=("$HOST"/T0002/user.*.ini)
for _ in $(seq 1 100); do
  [ ${#backups[@]} -eq 0 ] || [ -e "$HOST/tdxw.exe.ran" ] && break
  sleep 0.1
done

# The report: readable text of the GBK file, changed lines side by side.
text() { iconv -f GBK -t UTF-8 "$1"; }
echo
if [ -z "$had_display" ]; then
  box=$(tr -d '\r' <"$OUT/box.txt") # caption: text
  echo "pressed 高清字体; the box \"${box%%: *}\" said: $(tr -d '\n' <<<"${box#*: }")"
  echo "pictures: $OUT/window.png, $OUT/box.png"
  echo
fi
echo "T0002\\user.ini, changed lines (before → after):"
awk 'NR == FNR { before[FNR] = $0; next }
     before[FNR] != $0 {
       old = before[FNR]; new = $0; sub(/\r$/, "", old); sub(/\r$/, "", new)
       printf "  %3d  %s → %s%s\n", FNR, old, new, old == new ? "  (same text; line end CR LF → LF)" : ""
       changed++
     }
     END { printf "  %d of %d lines changed\n", changed, FNR }' \
  <(text "$OUT/user.before.ini") <(text "$HOST/T0002/user.ini")
echo
[ ${#backups[@]} -gt 0 ] || echo "backup: NONE in T0002"
for backup in "${backups[@]}"; do
  if cmp -s "$backup" "$OUT/user.before.ini"; then same="equals"; else same="DIFFERS FROM"; fi
  echo "backup: T0002\\$(basename "$backup") — $same the original byte for byte"
done
echo
echo "compatibility layers in $LAYERS (before: $USER_LAYERS):"
# reg writes in the console code page, 936.
wine reg query "$LAYERS" /v "$host_path" 2>/dev/null | iconv -f GBK -t UTF-8 | tr -d '\r' | awk -F '    ' 'NF >= 4 {
    printf "  name: %s\n  data: %s (%s)\n", $2, $4, $3; found = 1 }
    END { if (!found) print "  (no value for the host)" }'
echo
# The stand-in host leaves the folder it ran in.
if [ -e "$HOST/tdxw.exe.ran" ]; then
  echo "host started: yes (tdxw.exe ran in $(cat "$HOST/tdxw.exe.ran"))"
else
  echo "host started: no"
fi
echo "tool's exit code: $code"
