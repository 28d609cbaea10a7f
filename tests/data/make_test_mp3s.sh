#!/bin/sh
# Makes the MP3 files the reader tests decode: one second of a 440 Hz sine,
# mono and stereo, at MPEG 1 (44.1 kHz), MPEG 2 (22.05 kHz) and MPEG 2.5
# (11.025 kHz and 8 kHz) sample rates. Usage: make_test_mp3s.sh OUTPUT_FOLDER
set -eu
out=$1
mkdir -p "$out"
for rate in 44100 22050 11025 8000; do
  for channels in 1 2; do
    name="tone_${rate}_${channels}ch"
    sox -n -r "$rate" -c "$channels" -b 16 "$out/$name.wav" synth 1 sine 440 vol 0.5
    # --resample keeps the encoder at the source rate whatever the bitrate.
    lame --quiet --resample "$rate" "$out/$name.wav" "$out/$name.mp3"
    rm -f "$out/$name.wav"
  done
done
touch "$out/stamp"
