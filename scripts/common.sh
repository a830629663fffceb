#!/usr/bin/env bash
# Sourced by the scripts: the folders, the build, and the wine session functions.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# A relative BUILD_DIR is taken from the caller's folder; wine needs it absolute.
BUILD_DIR="$(realpath -m "${BUILD_DIR:-$ROOT/build}")"
PRESET="${PRESET:-mingw}" # CMake configure preset of BUILD_DIR
cd "$ROOT" || exit

# Installs what is missing, configures, and builds the given targets (everything when none).
build() {
  bash scripts/deps.sh
  cmake --preset "$PRESET" -B "$BUILD_DIR" >/dev/null
  cmake --build "$BUILD_DIR" ${1:+--target "$@"}
}

# Runs the whole CTest suite of BUILD_DIR under wine; arguments go to ctest. Leaves the wine
# session running for more, and stops it at exit.
run_tests() {
  trap wine_session_stop EXIT
  # Always a screen of the tests' own, of the size and with nothing else on it that they expect.
  unset DISPLAY
  wine_session_start
  # A failed test runs once more and both attempts are printed; only a second failure fails the
  # run. Wine has been seen, rarely, to end a test process within milliseconds and silently.
  # Four at a time: the rows run in wine sessions of their own and mostly wait; the
  # reproducibility check builds beside them.
  ctest --test-dir "$BUILD_DIR" --output-on-failure --no-tests=error --timeout 120 \
    --repeat until-pass:2 --parallel "${TEST_JOBS:-4}" "$@"
}

# The id of the first X window whose name starts with the given text, empty when none shows.
x_window() {
  # Lines read: id "name": ("instance" "class") geometry; only the name's start is compared.
  # xwininfo prints Chinese names only in a UTF-8 locale; C.UTF-8 needs no locale files.
  env LC_ALL=C.UTF-8 xwininfo -root -tree 2>/dev/null | awk -v name="\"$1" 'index($2, name) == 1 {print $1; exit}'
}

# The X window id of the tool's main window, empty when none shows.
tool_window() { x_window Tessaly; }

# Waits up to 60 s for the X window whose name starts with $1 and for it to be painted (the same
# picture twice in a row, with more than one colour), and saves it to the PNG file $2, which
# appears whole. Says what failed when it fails.
capture_window() {
  local window="" shot="" previous=""
  for _ in $(seq 1 600); do
    window=$(x_window "$1")
    [ -n "$window" ] && break
    sleep 0.1
  done
  if [ -z "$window" ]; then
    echo "no window \"$1\" showed within 60 s for $2" >&2
    return 1
  fi
  for _ in $(seq 1 300); do
    if import -window "$window" "$2.part.png" 2>/dev/null &&
      [ "$(identify -format %k "$2.part.png")" -gt 1 ]; then
      shot=$(identify -format %# "$2.part.png") # the pixels' hash
      if [ "$shot" = "$previous" ]; then
        mv "$2.part.png" "$2"
        return 0
      fi
      previous=$shot
    fi
    sleep 0.2
  done
  rm -f "$2.part.png"
  echo "the window \"$1\" did not settle within 60 s for $2" >&2
  return 1
}

. "$ROOT/scripts/wine-env.sh"
