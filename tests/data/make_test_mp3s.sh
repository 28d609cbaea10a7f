#!/bin/sh
# Makes the MP3 files the reader tests decode: one second of a 440 Hz sine,
# mono and stereo, at MPEG 1 (44.1 kHz), MPEG 2 (22.05 kHz) and MPEG 2.5
# (11.025 kHz and 8 kHz) sample rates; the 44.1 kHz stereo tone once more
# with the tags lame writes (tagged_44100_2ch.mp3: an ID3v2 tag with a cover
# picture, and an ID3v1 tag) and cut short inside its last frame
# (cut_44100_2ch.mp3); and a 1 kHz tone of 0.8 s after 0.2 s of silence, at
# 8 kHz mono and at 44.1 kHz stereo (burst_*.mp3), with lame's information
# tag. The tones are quantized without dither (-D), so that every build makes
# the same files: with sox's random dither the frames of the cut file, and
# with them what a decoder gets from its last frame, changed from build to
# build. Usage: make_test_mp3s.sh OUTPUT_FOLDER
set -eu
out=$1
mkdir -p "$out"
for rate in 44100 22050 11025 8000; do
  for channels in 1 2; do
    name="tone_${rate}_${channels}ch"
    sox -D -n -r "$rate" -c "$channels" -b 16 "$out/$name.wav" synth 1 sine 440 vol 0.5
    # --resample keeps the encoder at the source rate whatever the bitrate.
    lame --quiet --resample "$rate" "$out/$name.wav" "$out/$name.mp3"
  done
done
# The picture: JPEG markers, then whole MPEG frames of another tone, which
# the reader must step over with the tag rather than take for sound.
{ printf '\377\330\377\340\000\020JFIF\000'; cat "$out/tone_8000_2ch.mp3"; } >"$out/cover.jpg"
lame --quiet --resample 44100 --ti "$out/cover.jpg" --tt Tone --ta Sirelta --add-id3v2 \
  "$out/tone_44100_2ch.wav" "$out/tagged_44100_2ch.mp3"
# At 8 kHz lame's default of 8 kbit/s leaves no room in a frame for the tag.
for burst in 8000:1:32 44100:2:128; do
  rate=${burst%%:*} kilobits=${burst##*:} channels=${burst#*:}
  channels=${channels%:*}
  name="burst_${rate}_${channels}ch"
  sox -D -n -r "$rate" -c "$channels" -b 16 "$out/$name.wav" synth 0.8 sine 1000 vol 0.5 pad 0.2 0
  lame --quiet --resample "$rate" -b "$kilobits" "$out/$name.wav" "$out/$name.mp3"
done
size=$(wc -c <"$out/tone_44100_2ch.mp3")
head -c $((size - 200)) "$out/tone_44100_2ch.mp3" >"$out/cut_44100_2ch.mp3"
rm -f "$out"/*.wav "$out/cover.jpg"
touch "$out/stamp"
