#!/usr/bin/env bash
# Measures the resampler natively, optimised as the release build is and
# without sanitizers, and prints samples per second.
# Usage: bench/run_resampler_benchmark.sh
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
OUT="$ROOT/build/bench-native"
mkdir -p "$OUT"
g++ -std=c++17 -O3 -ffp-contract=off -I"$ROOT" \
  "$ROOT/bench/resampler_benchmark.cpp" "$ROOT/audio/resampler.cpp" \
  -o "$OUT/resampler_benchmark"
"$OUT/resampler_benchmark"
