#!/usr/bin/env bash
# Measures the serial link under Wine against the siren emulator (4 chips):
# once as fast as the pseudo-terminal goes, once paced like a real 115200 baud
# line. Usage: bench/run_link_benchmark.sh [BYTES]   (default: the whole image)
# Prints exchanges per second, their share of the line, and the mean
# turnaround of the program (from the emulator's log of every frame).
# LINK_BENCHMARK and EMULATOR may name ready builds; otherwise the project's
# builds are made first.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/scripts/common.sh"

BYTES=${1:-262140}
PORT_NUMBER=20
. "$ROOT/bench/link_bench_lib.sh"
bench_program LINK_BENCHMARK link_benchmark.exe

# The turnaround of each exchange from the emulator's log: from its writing a
# reply to the arrival of the next request, the program's share of the time.
print_turnaround() {
  awk '
    $2 == "TX" { sent = $1; next }
    $2 == "RX" && sent != "" && / request [0-9]+: (write|read) byte / {
      phase = / write byte / ? "write" : "read"
      sum[phase] += $1 - sent; n[phase]++; sent = ""
    }
    END {
      for (p in n) printf "%-6s mean turnaround %6.0f us over %d exchanges\n", p, 1e6 * sum[p] / n[p], n[p]
    }' "$FRAMES" | sort -r
}

run() {
  local label=$1; shift
  log "$label: $BYTES bytes written, then read"
  start_emulator "$@"
  wine_env wine "$LINK_BENCHMARK" "COM$PORT_NUMBER" "$BYTES"
  stop_emulator
  print_turnaround
}

run "unpaced"
run "paced at 115200 baud" --pace
