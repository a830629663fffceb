#!/usr/bin/env bash
# Fails unless the release is reproducible: packages BUILD_DIR's exe into a temporary folder, then
# runs scripts/package.sh on a copy of the source at another path, later, in another time zone,
# and compares the two exes and the two zips byte for byte. BUILD_DIR is only read. CTest runs it.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
TZ=UTC0 python3 scripts/package.py "$BUILD_DIR" "$work/first"

# The files a build here sees: tracked and new ones, not ignored ones such as the build folders.
copy="$work/another/source"
mkdir -p "$copy"
git ls-files -z --cached --others --exclude-standard |
  tar -c --null -T - --ignore-failed-read | tar -x -C "$copy"
export SOURCE_DATE_EPOCH="${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}" # the copy has no git
(cd "$copy" && env -u BUILD_DIR TZ=CST-8 bash scripts/package.sh)

same() {
  cmp "$1" "$2" || { echo "not reproducible: $1 and $2 differ" >&2 && exit 1; }
}
zip=$(cd "$work/first" && echo TessalyFontSwitch-*.zip)
same "$BUILD_DIR/bin/TessalyFontSwitch.exe" "$copy/build/bin/TessalyFontSwitch.exe"
same "$work/first/$zip" "$copy/build/dist/$zip"
(cd "$copy/build/dist" && sha256sum -c "$zip.sha256")
echo "reproducible: the same exe and $zip from $ROOT and $copy"
