#!/usr/bin/env bash
# Makes the compressed WAVE files of the reader tests with sox: one and a half
# seconds of a 440 Hz tone at 22050 Hz in each wave format, and the same tone
# as 8-bit PCM to compare the decoded sound with.
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
touch stamp
