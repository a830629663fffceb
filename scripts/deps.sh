#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian machine (as root or through sudo).
set -euo pipefail

PACKAGES=(
  cmake ninja-build
  g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64
  g++
  googletest
  wine wine64 fonts-wine
  xvfb xauth x11-utils
  fonts-wqy-microhei
  locales
  imagemagick
  python3 git
  gcovr
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

# Runs a command with its output set aside, and prints that output only when the command fails.
quietly() {
  local log status=0
  log=$(mktemp)
  "$@" >"$log" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    cat "$log" >&2
    echo "failed with exit code $status: $*" >&2
  fi
  rm -f "$log"
  return "$status"
}

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  quietly $SUDO apt-get update
  quietly $SUDO env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y --no-install-recommends "${missing[@]}"
fi

# wine needs the locale to create files with Chinese names and to use code page 936.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  quietly $SUDO localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
fi
