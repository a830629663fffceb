#!/usr/bin/env bash
# Sourced by the scripts: a private wine prefix inside the build folder, Xvfb when there is
# no display, and one persistent wineserver for the whole run.
# Needs BUILD_DIR set by the caller.

export WINEPREFIX="$BUILD_DIR/wineprefix"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# Wine needs the Chinese locale for Chinese file names and code page 936. It is given to wine's
# commands alone, through env, never set in the shell, not even for one command: a shell that
# looked for a locale before scripts/deps.sh made it would warn, having remembered there was none.
WINE_LOCALE=zh_CN.UTF-8
wine() { env LC_ALL=$WINE_LOCALE wine "$@"; }
wineboot() { env LC_ALL=$WINE_LOCALE wineboot "$@"; }
wineserver() { env LC_ALL=$WINE_LOCALE wineserver "$@"; }
winepath() { env LC_ALL=$WINE_LOCALE winepath "$@"; }
# Replaces the (sub)shell with wine, for callers that need wine's own process id.
wine_exec() { exec env LC_ALL="$WINE_LOCALE" wine "$@"; }

XVFB_PID=""
SCREEN_SIZE="${SCREEN_SIZE:-3840x2160}"

# Creates the prefix on first use: no window manager wait, Chinese font replacements.
wine_prefix_ensure() {
  if [ -f "$WINEPREFIX/.fontswitch-ready" ]; then return 0; fi
  echo "creating wine prefix in $WINEPREFIX"
  rm -rf "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w
  local face
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d Y /f >/dev/null
  for face in "宋体" "微软雅黑" "SimSun" "Microsoft YaHei" "Tahoma" "MS Shell Dlg" "MS Shell Dlg 2"; do
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /d "WenQuanYi Micro Hei" /f >/dev/null
  done
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f >/dev/null
  # Debian's wine does not find its own fonts folder: without Marlett the caption buttons show
  # the letters "0 1 r".
  cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" # fonts-wine
  wineserver -w
  touch "$WINEPREFIX/.fontswitch-ready"
}

# Starts Xvfb (when no display is set) and a persistent wineserver.
wine_session_start() {
  if [ -z "${DISPLAY:-}" ]; then
    local fd_file
    fd_file=$(mktemp)
    Xvfb -displayfd 1 -screen 0 "${SCREEN_SIZE}x24" -nolisten tcp >"$fd_file" 2>/dev/null &
    XVFB_PID=$!
    for _ in $(seq 1 100); do
      [ -s "$fd_file" ] && break
      sleep 0.05
    done
    export DISPLAY=":$(head -n1 "$fd_file")"
    rm -f "$fd_file"
  fi
  wine_prefix_ensure
  wine_server_start
}

# A persistent wineserver, with wine's own services started now, detached from any output pipe
# a test runner would wait on.
wine_server_start() {
  wineserver -p
  wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
}

# Sets the system DPI, which the wineserver reads when it starts, and restarts the server.
wine_set_dpi() {
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null
  wineserver -k || true
  wineserver -w
  wine_server_start
}

# Ends every wine process of the prefix and the Xvfb this session started.
wine_session_stop() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  if [ -n "$XVFB_PID" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=""
  fi
}

# Runs a Windows program in a wine session of its own and ends the session: a copy of the
# prefix (its files linked, its registry copied) at WINE_DPI when set, in a virtual desktop of the
# size WINE_DESKTOP when set, its own screen and server.
# Sessions share nothing, so they can run side by side. A failed run's folder stays for a look.
wine_own_session() {
  local folder status=0
  { flock 9 && wine_prefix_ensure >&2; } 9>"$BUILD_DIR/wineprefix.lock"
  mkdir -p "$BUILD_DIR/sessions"
  folder=$(mktemp -d "$BUILD_DIR/sessions/XXXXXX")
  cp -al "$WINEPREFIX" "$folder/prefix"
  cp --remove-destination "$WINEPREFIX"/*.reg "$folder/prefix/"
  export WINEPREFIX="$folder/prefix"
  if [ -n "${WINE_DPI:-}" ]; then
    sed -i "s/^\"LogPixels\"=dword:.*/\"LogPixels\"=dword:$(printf %08x "$WINE_DPI")/" \
      "$WINEPREFIX/user.reg"
  fi
  # Xvfb has one display mode; wine's virtual desktop offers the usual ones, and a program can
  # change between them.
  if [ -n "${WINE_DESKTOP:-}" ]; then
    printf '\n[Software\\\\Wine\\\\Explorer]\n"Desktop"="Default"\n' >>"$WINEPREFIX/user.reg"
    printf '\n[Software\\\\Wine\\\\Explorer\\\\Desktops]\n"Default"="%s"\n' "$WINE_DESKTOP" \
      >>"$WINEPREFIX/user.reg"
  fi
  unset DISPLAY
  wine_session_start
  wine "$@" || status=$?
  wine_session_stop
  if [ "$status" -eq 0 ]; then rm -rf "$folder"; else echo "session kept in $folder"; fi
  return "$status"
}
