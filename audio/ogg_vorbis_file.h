// BOggVorbisFile: Ogg Vorbis files read with the reference decoder
// (libvorbisfile over libogg) through the program's own file access, as
// 16-bit PCM with the file's channels and rate. The user-interface thread
// calls it.
//
// How it treats files that are not quite right:
//   - A file that is not Ogg Vorbis (after any ID3v2 tags) is not claimed:
//     an Ogg file of another codec is left to the reader of that codec.
//   - A file whose headers cannot be read is refused as damaged.
//   - A hole in the stream (lost pages) is stepped over; a file cut short
//     gives the sound up to the cut.
//   - A chained file (files joined end to end) is heard from its first link
//     on (the library, once it has scanned the links, would start at the
//     second). Links that differ from the first in rate or channels are
//     brought to its format: each frame's mean over the link's channels in
//     every channel, the rate changed band-limited (libsoxr).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/decoded_audio_file.h"
#include "audio/file_stream.h"

struct OggVorbis_File;
struct soxr;

class BOggVorbisFile : public BDecodedAudioFile {
 public:
  BOggVorbisFile();
  ~BOggVorbisFile() override;
  BOggVorbisFile(const BOggVorbisFile&) = delete;
  BOggVorbisFile& operator=(const BOggVorbisFile&) = delete;

  bool Open(const std::string& path) override;
  void Close() override;
  int32_t GetLength() override;

 protected:
  BDecodeStep DecodeMore(std::vector<uint8_t>& pcm) override;
  bool IsOpen() const override { return m_open; }

 private:
  bool LinkMatches(int link);
  // Appends `frames` frames of 16-bit PCM of `link` (of another format) in
  // the output format; the rate changes through m_resampler.
  bool AppendConverted(int link, const int16_t* samples, std::size_t frames,
                       std::vector<uint8_t>& pcm);
  // Gives the resampler's last samples of its link and releases it.
  void FlushResampler(std::vector<uint8_t>& pcm);
  void AppendMono(const float* mono, std::size_t count, std::vector<uint8_t>& pcm) const;

  BFileStream m_stream;
  std::unique_ptr<OggVorbis_File> m_vorbis;
  bool m_open = false;
  uint64_t m_samples = 0;       // per channel, at the output rate
  soxr* m_resampler = nullptr;  // for the current link, when its rate differs
  int m_resamplerLink = -1;
};
