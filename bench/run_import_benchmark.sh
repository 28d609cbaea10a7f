#!/usr/bin/env bash
# Times the import of a clip as long as the whole siren memory (26.8 s) from a
# 44.1 kHz 16-bit stereo WAVE file and from a 128 kbit/s MP3 of the same
# sound, through the program's code path under Wine, and the same resampling
# done by sox for comparison. Usage: bench/run_import_benchmark.sh
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/scripts/common.sh"

prepare_environment
build_windows >/dev/null

WORK="$BUILD/bench-import"
mkdir -p "$WORK"
# A voice-like mix: two tones gliding and some noise, 26.8 s.
sox -n -r 44100 -c 2 -b 16 "$WORK/clip.wav" synth 26.8 sine 300-900 sine 440 pinknoise vol 0.5 2>/dev/null
lame --quiet -b 128 "$WORK/clip.wav" "$WORK/clip.mp3"

log "sox resampling the WAVE file to the siren format (process start included)"
start=$(date +%s.%N)
sox "$WORK/clip.wav" -r 9765 -c 1 -b 8 -e signed "$WORK/clip.raw"
end=$(date +%s.%N)
SOX_MS=$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.1f", (e - s) * 1000 }')
echo "sox: $SOX_MS ms"

log "the program's import under Wine (open, measure, convert, place)"
for file in clip.wav clip.mp3; do
  wine_env wine "$BUILD/win/bench/import_benchmark.exe" "Z:${WORK//\//\\}\\$file" | tr -d '\r' |
    awk -v sox="$SOX_MS" '{ print; ms = $(NF - 1); printf "  %.1f times the time of sox%s\n", ms / sox,
                            ms < 1000 ? "; under 1 s" : "; OVER 1 s" }'
done
