// BMP3File: MPEG audio (MPEG 1, 2 and 2.5 frames of Layers I, II and III)
// read as 16-bit PCM, one decoded frame per Read. Open indexes every frame
// before any decoding.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "audio/audio_file.h"
#include "audio/mp3_decoder.h"
#include "audio/mp3_frame_scan.h"
#include "platform/file.h"

class BMP3File : public BAudioFile {
 public:
  // The smallest buffer Read decodes into: one frame of 1152 stereo samples.
  static constexpr uint32_t kMinReadSize = BMp3Decoder::kMinOutputSize;

  BMP3File() = default;
  ~BMP3File() override;

  // Indexes the frames; the output format comes from the first frame, which
  // every indexed frame agrees with. A file of another known kind (WAVE,
  // FLAC, Ogg, MPEG-4, ...) is not claimed; a file without any whole frame is
  // refused with a text that says so.
  bool Open(const std::string& path) override;
  void Close() override;
  int32_t GetLength() override;
  // Decodes the next frame into `buffer` (at least kMinReadSize bytes, or
  // every frame is refused). true with 0 bytes: the decoder rejected a frame,
  // or the last frames gave no sound; the next Read goes on behind it.
  bool Read(uint8_t* buffer, uint32_t size, int32_t& count) override;

  // The decoder's own delay and, from the encoder's tag, its delay and its
  // padding at the end.
  BSoundTrim GetTrim() const override;

  // Samples LAME's decoder puts before the first sample of the stream: the
  // delay of its synthesis filter bank (528) and one more, as LAME itself
  // counts it when it decodes.
  static constexpr uint32_t kDecoderDelay = 529;
  // The delay LAME and most encoders put in front of the sound.
  static constexpr uint32_t kUsualEncoderDelay = 576;

  const std::vector<BMp3FrameRecord>& GetFrames() const { return m_frames; }

 private:
  bool FailOpen(unsigned long systemError);
  void SetFormatFrom(const BMp3FrameRecord& first);
  // Reads the frame's bytes into `work`; false with the error text set.
  bool ReadFrame(const BMp3FrameRecord& frame, std::vector<uint8_t>& work);

  BFile m_file;
  std::vector<BMp3FrameRecord> m_frames;
  int32_t m_nextFrame = 0;
  BMp3Decoder m_decoder;  // active from Open to Close
};
