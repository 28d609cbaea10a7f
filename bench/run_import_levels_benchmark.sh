#!/usr/bin/env bash
# Measures the import of a half-scale 440 Hz tone at every source rate from
# 8 to 384 kHz in both conversions, and the levelling of four announcements
# 24 dB apart, through the program's readers under Wine; prints the tables
# of bench/README.md.
# Usage: bench/run_import_levels_benchmark.sh
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/scripts/common.sh"

prepare_environment
build_windows >/dev/null

WORK="$BUILD/bench-import-levels"
mkdir -p "$WORK"
[ -f "$WORK/stamp" ] || bash "$ROOT/tests/data/make_import_sounds.sh" "$WORK" >/dev/null
wine_env wine "$BUILD/win/bench/import_levels_benchmark.exe" "Z:${WORK//\//\\}" | tr -d '\r'
