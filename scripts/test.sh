#!/usr/bin/env bash
# Builds the tool, the tests and the benchmarks, and runs every test under wine.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
build

# A small, full file system for the disk-full tests, where the machine allows mounting one.
FULL_DISK_DIR="$BUILD_DIR/fulldisk"
mounted_full_disk=""
cleanup() {
  wine_session_stop
  if [ -n "$mounted_full_disk" ]; then umount "$FULL_DISK_DIR" 2>/dev/null || true; fi
}
trap cleanup EXIT
mkdir -p "$FULL_DISK_DIR"
if mountpoint -q "$FULL_DISK_DIR" || { [ "$(id -u)" -eq 0 ] && mount -t tmpfs -o size=256k tmpfs "$FULL_DISK_DIR" 2>/dev/null; }; then
  mountpoint -q "$FULL_DISK_DIR" && mounted_full_disk=1
  export FONTSWITCH_FULL_DISK_DIR="$FULL_DISK_DIR"
else
  echo "note: no small file system could be mounted; the disk-full tests will be skipped"
fi

wine_session_start
# A failed test runs once more and both attempts are printed; only a second failure fails the
# run. Wine has been seen, rarely, to end a test process within milliseconds and silently.
ctest --test-dir "$BUILD_DIR" --output-on-failure --no-tests=error --timeout 120 \
  --repeat until-pass:2 "$@"
BUILD_DIR="$BUILD_DIR" bash scripts/screenshots.sh
