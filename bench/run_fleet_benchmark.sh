#!/usr/bin/env bash
# Writing four sirens at once against one alone, under Wine against four
# emulators (4 chips each) paced like real 115200 baud lines on COM22 to
# COM25. Usage: bench/run_fleet_benchmark.sh [SECONDS]  (of sound, default 2)
# Prints both times, each siren's verdict and their ratio (target: four at
# once take less than 1.5 times as long as one).
# FLEET_BENCHMARK and EMULATOR may name ready builds.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/scripts/common.sh"

PORT_NUMBER=22
. "$ROOT/bench/link_bench_lib.sh"
bench_program FLEET_BENCHMARK fleet_benchmark.exe

PIDS=()
stop_all() { for pid in ${PIDS[@]+"${PIDS[@]}"}; do kill "$pid" 2>/dev/null || true; done; }
trap 'stop_all; rm -f "$REPORT" "$FRAMES"' EXIT
for port in 22 23 24 25; do
  PORT_NUMBER=$port
  start_emulator --pace || exit 1
  PIDS+=("$EMULATOR_PID")
  EMULATOR_PID=""
done
log "${1:-2} s of sound to COM22 alone, then to COM22-COM25 at once, paced at 115200 baud"
wine_env wine "$FLEET_BENCHMARK" "${1:-2}" COM22 COM23 COM24 COM25
