#!/usr/bin/env bash
# Builds the tool and writes the release zip build/dist/TessalyFontSwitch-<version>.zip: the
# exe, kzv.ico and the README's user instructions as 使用说明.txt, with its SHA-256 beside it in
# <zip>.sha256; fails when the zip's files or the exe's version are not what the project says.
# The same commit gives the same bytes: the zip's file times are the commit's, or
# SOURCE_DATE_EPOCH's when set.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
build TessalyFontSwitch
python3 scripts/package.py "$BUILD_DIR"
