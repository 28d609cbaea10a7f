#!/usr/bin/env bash
# Write against Write changes under Wine against the siren emulator (4 chips):
# a profile of SECONDS of sound ("full": the whole memory) written in full
# without and with the check after a write, a second of it amplified, then
# written with Write changes; with the samples each job reads back. Usage:
#   bench/run_write_changes_benchmark.sh [SECONDS|full [AMPLIFIED_MS [--pace]]]
# (defaults 20 s and 1000 ms, unpaced: as fast as the pseudo-terminal goes;
# --pace holds the timing of 115200 baud, and a full 20 s write then takes
# about five minutes). Prints both jobs' exchanges and times and their ratio,
# and the write requests the emulator logged.
#   bench/run_write_changes_benchmark.sh latency [DELAY_MS]
# writes the whole memory through a siren that holds every reply DELAY_MS
# (default 16, a USB adapter's latency timer) and prints the advice the link
# gives over the first exchanges.
# WRITE_CHANGES_BENCHMARK and EMULATOR may name ready builds.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/scripts/common.sh"

if [ "${1:-}" = latency ]; then
  PORT_NUMBER=21
  . "$ROOT/bench/link_bench_lib.sh"
  bench_program WRITE_CHANGES_BENCHMARK write_changes_benchmark.exe
  start_emulator --delay "${2:-16}" || exit 1
  log "a write of the whole memory, every reply held ${2:-16} ms"
  wine_env wine "$WRITE_CHANGES_BENCHMARK" "COM$PORT_NUMBER" latency
  stop_emulator
  exit 0
fi

SECONDS_OF_SOUND=${1:-20}
AMPLIFIED_MS=${2:-1000}
PACE=()
[ "${3:-}" = "--pace" ] && PACE=(--pace)
PORT_NUMBER=21
. "$ROOT/bench/link_bench_lib.sh"
bench_program WRITE_CHANGES_BENCHMARK write_changes_benchmark.exe
start_emulator ${PACE[@]+"${PACE[@]}"} || exit 1

log "write, then write changes: ${SECONDS_OF_SOUND} s of sound, ${AMPLIFIED_MS} ms amplified ${PACE[*]:-unpaced}"
wine_env wine "$WRITE_CHANGES_BENCHMARK" "COM$PORT_NUMBER" "$SECONDS_OF_SOUND" "$AMPLIFIED_MS"
stop_emulator
grep -c ' RX .*write byte' "$FRAMES" | sed 's/^/memory writes the emulator received (both jobs): /'
