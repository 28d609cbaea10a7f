#!/usr/bin/env bash
# Times the waveform window's repaints under Wine and Xvfb: one play-position
# update, the whole window from its picture, and the picture drawn again.
# Usage: bench/run_wave_window_benchmark.sh
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/scripts/common.sh"

prepare_environment
build_windows >/dev/null
XVFB_PID=""
trap 'wine_env wineserver -k 2>/dev/null || true; stop_display' EXIT
ensure_display
wine_env wine "$BUILD/win/bench/wave_window_benchmark.exe" | tr -d '\r'
