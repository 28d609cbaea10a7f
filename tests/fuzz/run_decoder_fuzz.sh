#!/bin/sh
# Builds the libFuzzer targets of the FLAC, Ogg Vorbis and Opus readers with
# clang (AddressSanitizer and UndefinedBehaviorSanitizer; the decoding
# libraries are Debian's) and runs each on a corpus seeded with short files of
# its kind made by flac, oggenc and opusenc. Usage: run_decoder_fuzz.sh
# [SECONDS] (for each reader; default 60).
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
work="$root/build/fuzz"
seconds=${1:-60}
cxx=${CXX_FUZZ:-clang++-14}
mkdir -p "$work/decoder_seeds"
if [ ! -f "$work/decoder_seeds/stamp" ]; then
  seeds="$work/decoder_seeds"
  sox -q -n -r 8000 -c 1 -b 16 "$seeds/tone.wav" synth 0.3 sine 440 vol 0.5
  sox -q -n -r 22050 -c 2 -b 24 "$seeds/tone24.wav" synth 0.1 sine 440 sine 660 vol 0.5
  flac -s -f -o "$seeds/tone.flac" "$seeds/tone.wav"
  flac -s -f -o "$seeds/tone24.flac" "$seeds/tone24.wav"
  oggenc -Q -o "$seeds/tone.ogg" "$seeds/tone.wav"
  oggenc -Q -o "$seeds/tone2.ogg" "$seeds/tone24.wav"
  opusenc --quiet "$seeds/tone.wav" "$seeds/tone.opus"
  opusenc --quiet --bitrate 16 "$seeds/tone24.wav" "$seeds/tone2.opus"
  touch "$seeds/stamp"
fi
# Leaks inside the libraries, which their own test programs show as well:
# libvorbisfile 1.3.7 loses the serial-number list of a chained link whose
# headers are damaged (made by _fetch_headers; _bisect_forward_serialno
# returns without freeing it),
# opusfile 0.12 some comment tags of a damaged stream. A few bytes for such a
# file. They are suppressed by the function that loses them, and only that:
# the two libraries are linked from their static archives, whose symbol
# tables name their internal functions, so that any other leak through them
# (a reader that forgot op_free or ov_clear) is still reported.
printf 'leak:_fetch_headers\nleak:opus_tags_parse_impl\n' >"$work/decoder_leaks.supp"
cd "$work"
for reader in 1:flac 2:ogg 3:opus; do
  number=${reader%%:*}
  kind=${reader#*:}
  $cxx -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -DSIRELTA_FUZZ_READER="$number" -I"$root" -I/usr/include/opus \
    "$root/tests/fuzz/decoder_fuzz.cpp" "$root/audio/flac_file.cpp" \
    "$root/audio/ogg_vorbis_file.cpp" "$root/audio/opus_file.cpp" \
    "$root/audio/decoded_audio_file.cpp" "$root/audio/file_stream.cpp" \
    "$root/audio/sound_file_kind.cpp" "$root/platform/text.cpp" "$root/platform/text_posix.cpp" \
    "$root/platform/file_common.cpp" "$root/platform/file_posix.cpp" \
    "$root/platform/error_text_posix.cpp" \
    -Wl,-Bstatic -lvorbisfile -lopusfile -Wl,-Bdynamic \
    -lFLAC -lvorbis -lopus -logg -lsoxr -lm -o "$work/${kind}_fuzz"
  mkdir -p "$work/${kind}_corpus"
  cp -n "$work/decoder_seeds"/*."$kind" "$work/${kind}_corpus/" 2>/dev/null || true
  TMPDIR=${TMPDIR:-/dev/shm} LSAN_OPTIONS="suppressions=$work/decoder_leaks.supp" \
    "$work/${kind}_fuzz" -max_total_time="$seconds" -max_len=20000 \
    -print_final_stats=1 "$work/${kind}_corpus"
done
