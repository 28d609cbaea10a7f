#!/usr/bin/env bash
# Makes the sound files of the reader tests from one spoken announcement
# (espeak-ng), in the kinds people bring, with the tools that make them:
#   announcement.wav   the plain file: 16-bit stereo PCM at 44100 Hz (sox);
#   announcement.flac  flac; announcement.ogg  oggenc; announcement.opus  opusenc;
#   announcement.m4a   AAC in MPEG-4 and announcement.wma, ffmpeg;
#   announcement.mp3   lame; announcement.mp2  MPEG Layer II, ffmpeg;
#   announcement.aiff  sox, a kind the program does not read;
#   cut_start.mp3      the MP3 cut 2089 bytes into its sound, as a capture that
#                      started late: the rest of its first frame holds a sync
#                      pattern that reads as a 48000 Hz frame;
#   junk_first.wav     ffmpeg's WAVE with a JUNK chunk in front of "fmt ";
#   zero_sizes.wav     the plain file with the RIFF and data sizes left at 0, as
#                      a recording stopped before its header was completed;
#   wide_blocks.wav    24-bit samples in 4-byte blocks, left-justified;
#   mono24.wav         the mono mix as ordinary 24-bit PCM, to compare with it.
# Usage: make_test_sounds.sh OUTPUT_FOLDER
set -euo pipefail
out=$1
mkdir -p "$out"
cd "$out"
espeak-ng -v ru -s 140 -w speech.wav \
  "Внимание! Говорит штаб гражданской обороны. Это проверка системы оповещения."
sox -q -D speech.wav -r 44100 -c 2 -b 16 announcement.wav
flac -s -f -o announcement.flac announcement.wav
oggenc -Q -o announcement.ogg announcement.wav
opusenc --quiet announcement.wav announcement.opus
ffmpeg -v error -y -i announcement.wav -c:a aac -b:a 128k announcement.m4a
ffmpeg -v error -y -i announcement.wav -c:a wmav2 announcement.wma
lame --quiet announcement.wav announcement.mp3
ffmpeg -v error -y -i announcement.wav -c:a mp2 -b:a 192k announcement.mp2
tail -c +2090 announcement.mp3 >cut_start.mp3
sox -q announcement.wav announcement.aiff
ffmpeg -v error -y -i announcement.wav -rf64 auto junk_first.wav
sox -q -D announcement.wav -c 1 -b 24 mono24.wav
python3 - <<'PYTHON'
import struct
wave = bytearray(open("announcement.wav", "rb").read())
# sox writes a 44-byte header: RIFF size at 4, data size at 40.
assert wave[36:40] == b"data"
wave[4:8] = struct.pack("<I", 0)
wave[40:44] = struct.pack("<I", 0)
open("zero_sizes.wav", "wb").write(wave)

mono = open("mono24.wav", "rb").read()
data = mono.index(b"data")
samples = mono[data + 8:data + 8 + struct.unpack("<I", mono[data + 4:data + 8])[0]]
wide = b"".join(b"\0" + samples[i:i + 3] for i in range(0, len(samples) - 2, 3))
fmt = struct.pack("<HHIIHH", 1, 1, 44100, 44100 * 4, 4, 24)
body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(wide)) + wide
open("wide_blocks.wav", "wb").write(b"RIFF" + struct.pack("<I", len(body)) + body)
PYTHON
rm -f speech.wav
touch stamp
