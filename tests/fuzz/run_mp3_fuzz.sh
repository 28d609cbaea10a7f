#!/bin/sh
# Builds the MP3 reader's libFuzzer target with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs it on a corpus seeded with MP3 files
# made by lame and a Layer II file made by ffmpeg.
# Usage: run_mp3_fuzz.sh [SECONDS] (default 60).
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
work="$root/build/fuzz"
seconds=${1:-60}
mkdir -p "$work/corpus"
cxx=${CXX_FUZZ:-clang++-14}
$cxx -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$root" -I/usr/include/lame \
  "$root/tests/fuzz/mp3_fuzz.cpp" "$root/audio/mp3_file.cpp" "$root/audio/mp3_decoder.cpp" \
  "$root/audio/mp3_frame_scan.cpp" "$root/audio/sound_file_kind.cpp" \
  "$root/platform/file_common.cpp" "$root/platform/file_posix.cpp" \
  "$root/platform/error_text_posix.cpp" "$root/platform/text.cpp" "$root/platform/text_posix.cpp" \
  -lmp3lame -o "$work/mp3_fuzz"
if [ ! -f "$work/corpus/stamp" ]; then
  sh "$root/tests/data/make_test_mp3s.sh" "$work/seeds"
  cp "$work"/seeds/*.mp3 "$work/corpus/"
  # MPEG Layer II, measured by its own rule.
  sox -q -n -r 32000 -c 1 -b 16 "$work/seeds/tone.wav" synth 0.3 sine 440 vol 0.5
  ffmpeg -v error -y -i "$work/seeds/tone.wav" -c:a mp2 -b:a 64k "$work/corpus/tone.mp2"
  touch "$work/corpus/stamp"
fi
cd "$work"
TMPDIR=${TMPDIR:-/dev/shm} "$work/mp3_fuzz" -max_total_time="$seconds" -max_len=20000 \
  -print_final_stats=1 "$work/corpus"
