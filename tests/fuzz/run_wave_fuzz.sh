#!/bin/sh
# Builds the WAVE reader's libFuzzer target with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs it on a corpus seeded with the WAVE
# files of the Windows tests, made by sox. Usage: run_wave_fuzz.sh [SECONDS]
# (default 60).
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
work="$root/build/fuzz"
seconds=${1:-60}
mkdir -p "$work/wave_corpus"
cxx=${CXX_FUZZ:-clang++-14}
$cxx -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$root" -I"$root/tests/unit" "$root/tests/fuzz/wave_fuzz.cpp" "$root/audio/wave_chunks.cpp" \
  "$root/audio/wave_sample_format.cpp" "$root/audio/pcm_conversion.cpp" -o "$work/wave_fuzz"
if [ ! -f "$work/wave_corpus/stamp" ]; then
  bash "$root/tests/win/make_wave_files.sh" "$work/wave_seeds"
  for file in "$work"/wave_seeds/*.wav; do
    head -c 4000 "$file" >"$work/wave_corpus/$(basename "$file")"
  done
  touch "$work/wave_corpus/stamp"
fi
cd "$work"
"$work/wave_fuzz" -max_total_time="$seconds" -max_len=8000 -print_final_stats=1 "$work/wave_corpus"
