// What kind of sound file a file is, told from its first bytes (behind any
// ID3v2 tags): the kinds the program reads, and the kinds it knows by name but
// cannot read, so that a refusal names what the file really is. Every reader
// asks this before it claims a file, so a reader never takes a file of
// another kind for its own (the MP3 reader would find "frames" in almost
// anything). Portable; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

enum class BSoundKind {
  Unknown,  // no known signature: the MP3 reader searches it for frames
  Mpeg,     // an MPEG audio frame header at the start
  Wave,
  Flac,
  OggVorbis,
  OggOpus,
  Mp4,  // MPEG-4 (M4A, MP4, 3GP, QuickTime): AAC and the like
  Adts,
  Asf,  // Windows Media (WMA)
  Rf64,
  Avi,
  Riff,  // a RIFF form of another kind
  Aiff,
  OggFlac,
  OggSpeex,
  Ogg,  // an Ogg stream of another codec
  Matroska,
  Caf,
  Midi,
  Amr,
  Au,
  WavPack,
  MonkeysAudio,
};

// How many bytes behind the tags DetectSoundKind needs to tell every kind.
constexpr std::size_t kSoundKindHeadSize = 1024;

// The kind of a file whose bytes behind its ID3v2 tags begin with `head`.
BSoundKind DetectSoundKind(const uint8_t* head, std::size_t size);
// The kind of the file at `path` (a UTF-8 path);
// Unknown when it cannot be read.
BSoundKind DetectSoundKindOfFile(const std::string& path);

// Where the file's sound starts: behind its ID3v2 tags, 0 when it has none
// or cannot be read.
uint64_t SoundStartOfFile(const std::string& path);

// The string-table id of the kind's name; 0 for Unknown.
unsigned SoundKindNameId(BSoundKind kind);
// The string-table text `textId`, whose %s is the kind's name.
std::string SoundKindText(unsigned textId, BSoundKind kind);
