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
//   - Of a chained file whose links differ in rate or channels, only the
//     links in the first link's format are heard (and counted by GetLength):
//     the others would play at the wrong speed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/decoded_audio_file.h"
#include "audio/file_stream.h"

struct OggVorbis_File;

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

  BFileStream m_stream;
  std::unique_ptr<OggVorbis_File> m_vorbis;
  bool m_open = false;
  uint64_t m_samples = 0;  // per channel, of the links that are heard
};
