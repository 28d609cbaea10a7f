// BSystemAudioFile: the reader of the kinds that only the system's media
// framework can decode (MPEG-4 audio such as M4A with AAC, raw AAC, Windows
// Media audio), over a BSystemDecoder. The user-interface thread calls it.
//
// It claims only files of those kinds; everything else it leaves to the
// other readers. Where the system cannot decode such a file, the refusal
// names the kind and says why: no media framework in the system (Windows
// without its media features), no decoder for the file in it, or a file that
// cannot be decoded.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "audio/decoded_audio_file.h"
#include "audio/sound_file_kind.h"
#include "audio/system_decoder.h"

class BSystemAudioFile : public BDecodedAudioFile {
 public:
  explicit BSystemAudioFile(std::unique_ptr<BSystemDecoder> decoder);
  ~BSystemAudioFile() override;
  BSystemAudioFile(const BSystemAudioFile&) = delete;
  BSystemAudioFile& operator=(const BSystemAudioFile&) = delete;

  // Whether this reader is the one for files of `kind`.
  // How much of a file without a stated length Open decodes ahead to
  // measure it: more than the siren's whole memory holds (27 s).
  static constexpr uint32_t kMaxDecodedAheadSeconds = 120;
  static bool Reads(BSoundKind kind);

  bool Open(const std::string& path) override;
  void Close() override;
  int32_t GetLength() override;

 protected:
  BDecodeStep DecodeMore(std::vector<uint8_t>& pcm) override;
  bool IsOpen() const override { return m_open; }

 private:
  bool RefuseFor(BSystemDecoder::BStatus status);

  std::unique_ptr<BSystemDecoder> m_decoder;
  BSoundKind m_kind = BSoundKind::Unknown;
  bool m_open = false;
  uint32_t m_milliseconds = 0;
};
