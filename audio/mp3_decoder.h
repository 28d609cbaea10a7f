// One MPEG audio decoding stream (LAME's decoder), fed one frame at a time and
// giving 16-bit interleaved PCM.
#pragma once

#include <cstdint>
#include <vector>

struct hip_global_struct;

class BMp3Decoder {
 public:
  enum class Result {
    Ok,        // a frame was decoded
    NeedMore,  // the decoder took the frame and waits for more data
    Error,     // the decoder rejected the frame
  };

  // The decoder refuses output buffers that cannot hold one frame of
  // 1152 stereo samples.
  static constexpr uint32_t kMinOutputSize = 4608;

  BMp3Decoder() = default;
  ~BMp3Decoder();
  BMp3Decoder(const BMp3Decoder&) = delete;
  BMp3Decoder& operator=(const BMp3Decoder&) = delete;

  // Starts a fresh stream; false when the decoder cannot be created.
  bool Init();
  // Ends the stream; harmless when there is none.
  void Release();
  bool IsActive() const { return m_state != nullptr; }

  // Feeds one whole frame. On Ok, `produced` bytes of PCM with `channels`
  // interleaved channels (1 or 2) are in `output`: a mono frame is copied to
  // both channels of a stereo output, a stereo frame is mixed for a mono one.
  Result DecodeFrame(uint8_t* frame, uint32_t size, uint16_t channels, uint8_t* output,
                     uint32_t capacity, uint32_t& produced);

  // Decodes a frame the decoder still holds from earlier input: at the start
  // of a stream it keeps one or more frames back (while it looks for an
  // information header), and they would be lost at the end. true when a
  // frame came out; `produced` as above.
  bool TakeHeldFrame(uint16_t channels, uint8_t* output, uint32_t capacity, uint32_t& produced);

  // The encoder's delay and padding in samples, from the information tag
  // (Xing/Info with LAME's extension) of the stream's first frame; -1 when
  // the stream has no such tag or it was not yet decoded.
  int GetEncoderDelay() const { return m_encoderDelay; }
  int GetEncoderPadding() const { return m_encoderPadding; }

 private:
  hip_global_struct* m_state = nullptr;
  int m_encoderDelay = -1;
  int m_encoderPadding = -1;
  std::vector<short> m_left;
  std::vector<short> m_right;
};
