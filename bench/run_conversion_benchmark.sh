#!/usr/bin/env bash
# Measures the standard and the high-quality conversion of imported sound
# through the program's own readers under Wine, on signals the benchmark
# makes itself, and prints the table of bench/README.md.
# Usage: bench/run_conversion_benchmark.sh
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/scripts/common.sh"

prepare_environment
build_windows >/dev/null

WORK="$BUILD/bench-conversion"
mkdir -p "$WORK"
wine_env wine "$BUILD/win/bench/conversion_benchmark.exe" "Z:${WORK//\//\\}" | tr -d '\r'
