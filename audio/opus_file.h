// BOpusFile: Ogg Opus files (voice notes of messengers and phones) read with
// the reference decoder (opusfile over libopus and libogg) through the
// program's own file access. Opus always decodes at 48000 Hz. A mono or
// stereo file gives 16-bit stereo at that rate (a mono stream in both
// channels), whatever each link of a chained file holds. A file with more
// channels gives all of them as they are decoded, so that the conversion
// takes their mean as for any other kind: the library's stereo down-mix
// saturates when the channels are in phase, and it has none for channel
// mapping 255. A link with another channel count is spread over the first
// link's channels, each frame as the mean of its own. The user-interface
// thread calls it.
//
// How it treats files that are not quite right:
//   - A file that is not Ogg Opus (after any ID3v2 tags) is not claimed.
//   - A file whose headers cannot be read is refused as damaged.
//   - A hole in the stream (lost pages) is stepped over; a file cut short
//     gives the sound up to the cut.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "audio/decoded_audio_file.h"
#include "audio/file_stream.h"

struct OggOpusFile;

class BOpusFile : public BDecodedAudioFile {
 public:
  static constexpr uint32_t kRate = 48000;

  BOpusFile() = default;
  ~BOpusFile() override;
  BOpusFile(const BOpusFile&) = delete;
  BOpusFile& operator=(const BOpusFile&) = delete;

  bool Open(const std::string& path) override;
  void Close() override;
  int32_t GetLength() override;

 protected:
  BDecodeStep DecodeMore(std::vector<uint8_t>& pcm) override;
  bool IsOpen() const override { return m_opus != nullptr; }

 private:
  BDecodeStep DecodeAllChannels(std::vector<uint8_t>& pcm);
  // Channel mapping 255 (channels without a defined layout) is the same
  // record as mapping 1, which the library decodes; it refuses 255. Up to
  // 8 channels, the header page is read as mapping 1 (with its check sum
  // recomputed): every channel is decoded as it is and none is mixed.
  void PrepareMappingHead();
  friend struct BOpusCallbacks;

  BFileStream m_stream;
  OggOpusFile* m_opus = nullptr;
  uint64_t m_samples = 0;                // per channel, at 48000 Hz
  bool m_allChannels = false;            // more than two channels: all delivered
  std::vector<int16_t> m_samplesBuffer;  // one decoding call's output, all channels
  std::vector<uint8_t> m_head;           // the first page as the library reads it; empty: as it is
};
