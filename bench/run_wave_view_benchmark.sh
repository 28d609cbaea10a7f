#!/usr/bin/env bash
# Measures the waveform window's arithmetic natively, optimised as the release
# build is and without sanitizers, and prints milliseconds.
# Usage: bench/run_wave_view_benchmark.sh
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
OUT="$ROOT/build/bench-native"
mkdir -p "$OUT"
g++ -std=c++17 -O2 -I"$ROOT" -I"$ROOT/ui" \
  "$ROOT/bench/wave_view_benchmark.cpp" "$ROOT/ui/peak_pyramid.cpp" "$ROOT/ui/wave_viewport.cpp" \
  -o "$OUT/wave_view_benchmark"
"$OUT/wave_view_benchmark"
