#!/usr/bin/env bash
# Builds the tool, the tests and the benchmarks with gcov counters in build-coverage/, runs every
# test under wine as scripts/test.sh does, and prints the line and branch coverage of src/ per
# file, then the lines of src/ that no test runs. Arguments go to ctest.
set -euo pipefail
BUILD_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build-coverage"
PRESET=coverage
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
build
find "$BUILD_DIR" -name '*.gcda' -delete
# The counts' files are named by the Unix paths the objects were built at; with Z:, wine's drive
# for the Unix root, they name the same files whatever drive a test's process runs on.
export GCOV_PREFIX=Z:
TEST_JOBS=1 run_tests "$@" # rows side by side would write the same counts files
wine_session_stop # every process has written its counts

REPORT="$BUILD_DIR/coverage"
mkdir -p "$REPORT"
gcovr --root "$ROOT" --filter src/ --gcov-executable x86_64-w64-mingw32-gcov \
  --exclude-unreachable-branches --exclude-throw-branches \
  --json-summary "$REPORT/summary.json" --txt "$REPORT/lines.txt" "$BUILD_DIR"
python3 - "$REPORT" <<'PY'
import json, sys

report = sys.argv[1]
with open(f"{report}/summary.json", encoding="utf-8") as f:
    summary = json.load(f)


def row(name, counts):
    cells = [name]
    for kind in ("line", "branch"):
        covered, total = counts[f"{kind}_covered"], counts[f"{kind}_total"]
        percent = f"{counts[f'{kind}_percent']:.1f}%" if total else "-"
        cells += [f"{covered}/{total}", percent]
    return cells


rows = [row(f["filename"], f) for f in summary["files"]] + [row("total", summary)]
width = max(len(r[0]) for r in rows)
print(f"\ncoverage of src/ by the tests\n{'file':<{width}}  {'lines':>16}  {'branches':>16}")
for r in rows:
    if r[0] == "total":
        print("-" * (width + 36))
    print(f"{r[0]:<{width}}  {r[1]:>9} {r[2]:>6}  {r[3]:>9} {r[4]:>6}")

print("\nlines no test runs:")
with open(f"{report}/lines.txt", encoding="utf-8") as f:
    for line in f:
        fields = line.split()
        if len(fields) == 5 and fields[0].startswith("src/"):
            print(f"  {fields[0]}: {fields[4].replace(',', ', ')}")
PY
