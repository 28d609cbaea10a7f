#!/usr/bin/env bash
# Makes the sound files of the import tests, as people bring them:
#   tone_RATE.flac     0.5 s of a 440 Hz sine at half scale, 16-bit mono, at
#                      every rate from 8 to 384 kHz (sox);
#   tone7k.flac        a 7 kHz sine at half scale, 44100 Hz (sox): what the
#                      siren's rate cannot hold;
#   cancel.flac/.mp3   stereo whose right channel is the left one inverted
#                      (sox, flac, lame);
#   whisper.flac       a 440 Hz sine so quiet that it stays within one step;
#   six.flac/.opus     six channels, five of them in phase, a sine at 0.9 of
#                      full scale (sox, flac, opusenc); six255.opus the same
#                      with channel mapping 255 (ffmpeg);
#   skeleton.ogg       Ogg Vorbis behind a Skeleton stream (oggenc -k);
#   video.ogg          Theora video with its Vorbis sound (ffmpeg);
#   chained.ogg        1 s and 5 s of Ogg Vorbis joined end to end, both
#                      44100 Hz stereo; chained_mixed.ogg 1 s at 22050 Hz mono
#                      joined to 5 s at 44100 Hz stereo;
#   long.flac          2 hours of 8 kHz mono FLAC whose header states no length,
#                      as a recorder writing to a pipe leaves it;
#   empty.mp3          no bytes at all; damaged.flac a FLAC file whose every
#                      frame is damaged;
#   id3.wav            a WAVE file behind an ID3v2 tag;
#   voice8k.mp3        a voice-rate MP3 (8 kHz, 8 kbit/s, lame: no room for
#                      its delay tag), 200 ms of silence and then a tone;
#   speech_N.flac      four spoken announcements (espeak-ng), their peaks at
#                      -1, -9, -17 and -25 dBFS: 24 dB from the loudest to the
#                      quietest.
# Usage: make_import_sounds.sh OUTPUT_FOLDER
set -euo pipefail
out=$1
mkdir -p "$out"
cd "$out"
for rate in 8000 11025 16000 22050 32000 44100 48000 50000 56000 58000 60000 62000 64000 68000 70000 \
  75000 80000 87000 88200 96000 128000 176400 192000 256000 352800 384000; do
  sox -n -r "$rate" -c 1 -b 16 "tone_$rate.flac" synth 0.5 sine 440 vol 0.5
done
sox -n -r 44100 -c 1 -b 16 tone7k.flac synth 0.5 sine 7000 vol 0.5
sox -n -r 44100 -c 1 -b 16 mono.wav synth 1 sine 440 vol 0.5
sox -q mono.wav -c 2 cancel.wav remix 1 1v-1
flac -s -f -o cancel.flac cancel.wav
lame --quiet cancel.wav cancel.mp3
sox -n -r 44100 -c 1 -b 16 whisper.flac synth 1 sine 440 vol 0.003
# Five channels in phase; the fourth, low-frequency one silent, as Opus
# keeps only its lowest frequencies.
sox -r 48000 -c 6 -n -b 16 six.wav synth 1 sine 440 vol 0.9 remix 1 2 3 0 5 6
flac -s -f -o six.flac six.wav
opusenc --quiet six.wav six.opus
ffmpeg -v error -y -i six.wav -c:a libopus -mapping_family 255 six255.opus
sox -n -r 44100 -c 2 -b 16 part1.wav synth 1 sine 440 vol 0.5
sox -n -r 44100 -c 2 -b 16 part5.wav synth 5 sine 660 vol 0.5
sox -n -r 22050 -c 1 -b 16 part1mono.wav synth 1 sine 440 vol 0.5
oggenc -Q -k -o skeleton.ogg part5.wav
ffmpeg -v error -y -f lavfi -i testsrc=duration=2:size=64x48:rate=10 -i part5.wav -t 2 \
  -c:v libtheora -c:a libvorbis video.ogg
oggenc -Q -o part1.ogg part1.wav
oggenc -Q -o part5.ogg part5.wav
oggenc -Q -o part1mono.ogg part1mono.wav
cat part1.ogg part5.ogg >chained.ogg
cat part1mono.ogg part5.ogg >chained_mixed.ogg
sox -n -r 8000 -c 1 -b 16 long.flac synth 7200 sine 440 vol 0.25
: >empty.mp3
sox -n -r 8000 -c 1 -b 16 voice.wav synth 0.8 sine 1000 vol 0.5 pad 0.2 0
lame --quiet --resample 8 -b 8 -m m voice.wav voice8k.mp3
level=1
for text in "Внимание! Воздушная тревога." "Всем укрыться в защитных сооружениях." \
  "Проверка системы оповещения населения." "Отбой воздушной тревоги."; do
  espeak-ng -v ru -s 140 -w speech.wav "$text"
  sox -q speech.wav -r 22050 -b 16 "speech_$level.flac" gain -n "-$level"
  level=$((level + 8))
done
python3 - <<'PYTHON'
# long.flac: STREAMINFO's total samples (36 bits from byte 21 of the file,
# behind the low 4 bits of byte 21) set to 0, "unknown".
flac = bytearray(open("long.flac", "rb").read())
assert flac[:4] == b"fLaC" and flac[4] & 0x7F == 0
flac[21] &= 0xF0
flac[22:26] = b"\0\0\0\0"
open("long.flac", "wb").write(flac)

# damaged.flac: a byte in the middle of every frame of tone_44100.flac
# changed, so that every frame fails its check.
tone = bytearray(open("tone_44100.flac", "rb").read())
at = 4
while True:  # the metadata blocks
    last, size = tone[at] & 0x80, int.from_bytes(tone[at + 1:at + 4], "big")
    at += 4 + size
    if last:
        break
starts = [i for i in range(at, len(tone) - 1) if tone[i] == 0xFF and tone[i + 1] == 0xF8]
for a, b in zip(starts, starts[1:] + [len(tone)]):
    tone[(a + b) // 2] ^= 0x5A
open("damaged.flac", "wb").write(tone)

# id3.wav: an ID3v2.3 tag with one title frame in front of a WAVE file.
title = b"\0Tone"
frame = b"TIT2" + len(title).to_bytes(4, "big") + b"\0\0" + title
size = len(frame)
syncsafe = bytes([(size >> 21) & 0x7F, (size >> 14) & 0x7F, (size >> 7) & 0x7F, size & 0x7F])
open("id3.wav", "wb").write(b"ID3\3\0\0" + syncsafe + frame + open("mono.wav", "rb").read())
PYTHON
rm -f mono.wav cancel.wav six.wav part*.wav part*.ogg voice.wav speech.wav
touch stamp
