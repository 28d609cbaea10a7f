#!/usr/bin/env bash
# Makes the compressed WAVE files of the reader tests with sox: one and a half
# seconds of a 440 Hz tone at 22050 Hz in each wave format, and the same tone
# as 8-bit PCM to compare the decoded sound with. Then a stereo sound as
# 16-bit PCM (s16.wav) and the same samples as 32 and 64-bit float (tag 3) and
# as 16-bit PCM with an odd-sized chunk and its pad byte before the data; its
# mono mix as 16-bit PCM (m16.wav) and as 24-bit PCM in an extensible record.
# Each must import like its 16-bit file. No dither (-D): the samples stay the
# same from file to file.
set -euo pipefail
out=$1
mkdir -p "$out"
cd "$out"
sox -q -n -r 22050 -c 1 -b 16 -e signed-integer tone.wav synth 1.5 sine 440 vol 0.5
sox -q -D tone.wav -b 8 -e unsigned-integer tone8.wav
sox -q tone.wav -e ima-adpcm ima_adpcm.wav
sox -q tone.wav -e ms-adpcm ms_adpcm.wav
sox -q tone.wav -e a-law alaw.wav
sox -q tone.wav -e mu-law mulaw.wav
sox -q tone.wav -c 2 -e ima-adpcm ima_adpcm_stereo.wav
sox -q -n -r 44100 -c 2 -b 16 -D s16.wav synth 1.5 sine 440 sine 660 vol 0.5
sox -q s16.wav -e floating-point -b 32 float32.wav
sox -q s16.wav -e floating-point -b 64 float64.wav
sox -q -D s16.wav -c 1 m16.wav
sox -q -D m16.wav -b 24 extensible24.wav
python3 - <<'PYTHON'
import struct
wave = open("s16.wav", "rb").read()
junk = b"junk" + struct.pack("<I", 3) + b"abc" + b"\0"
body = wave[8:36] + junk + wave[36:]
open("odd_chunk.wav", "wb").write(b"RIFF" + struct.pack("<I", len(body)) + body)
PYTHON
touch stamp
