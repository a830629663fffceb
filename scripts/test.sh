#!/usr/bin/env bash
# Builds the tool, the tests and the benchmarks, and runs every test under wine.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
build
run_tests "$@"
BUILD_DIR="$BUILD_DIR" bash scripts/screenshots.sh
