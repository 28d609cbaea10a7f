#include "audio/mp3_decoder.h"

#include <cstdarg>

#include <lame.h>

namespace {

// The most samples per channel one call of the decoder can hand back: its
// own output area holds 4096 16-bit samples.
constexpr std::size_t kMaxSamplesPerChannel = 4096;

void PutSample(uint8_t*& out, int value) {
  uint16_t bits = static_cast<uint16_t>(static_cast<int16_t>(value));
  *out++ = static_cast<uint8_t>(bits & 0xFF);  // little-endian, as in a wave file
  *out++ = static_cast<uint8_t>(bits >> 8);
}

// The decoder reports damaged frames on the console; the reader reports
// them by its results instead.
void Quiet(const char*, va_list) {}

}  // namespace

BMp3Decoder::~BMp3Decoder() { Release(); }

bool BMp3Decoder::Init() {
  Release();
  m_state = hip_decode_init();
  m_encoderDelay = -1;
  m_encoderPadding = -1;
  if (m_state) {
    hip_set_errorf(m_state, Quiet);
    hip_set_debugf(m_state, Quiet);
    hip_set_msgf(m_state, Quiet);
  }
  m_left.assign(kMaxSamplesPerChannel, 0);
  m_right.assign(kMaxSamplesPerChannel, 0);
  return m_state != nullptr;
}

void BMp3Decoder::Release() {
  if (!m_state) return;
  hip_decode_exit(m_state);
  m_state = nullptr;
}

BMp3Decoder::Result BMp3Decoder::DecodeFrame(uint8_t* frame, uint32_t size, uint16_t channels,
                                             uint8_t* output, uint32_t capacity,
                                             uint32_t& produced) {
  produced = 0;
  if (!m_state || capacity < kMinOutputSize || (channels != 1 && channels != 2))
    return Result::Error;

  // Note: the decoder's one-frame call uses a static work area, so decoding
  // belongs to one thread at a time (the user-interface thread here).
  mp3data_struct info = {};
  // The decoder reports the tag's delay and padding once it has read it.
  int samples = hip_decode1_headersB(m_state, frame, size, m_left.data(), m_right.data(), &info,
                                     &m_encoderDelay, &m_encoderPadding);
  if (samples < 0) return Result::Error;
  if (samples == 0) return Result::NeedMore;

  uint64_t bytes = static_cast<uint64_t>(samples) * channels * 2;
  if (static_cast<std::size_t>(samples) > kMaxSamplesPerChannel || bytes > capacity)
    return Result::Error;

  bool stereoFrame = info.stereo == 2;
  uint8_t* out = output;
  for (int i = 0; i < samples; ++i) {
    int left = m_left[i];
    int right = stereoFrame ? m_right[i] : left;
    if (channels == 2) {
      PutSample(out, left);
      PutSample(out, right);
    } else {
      PutSample(out, (left + right) / 2);
    }
  }
  produced = static_cast<uint32_t>(bytes);
  return Result::Ok;
}

bool BMp3Decoder::TakeHeldFrame(uint16_t channels, uint8_t* output, uint32_t capacity,
                                uint32_t& produced) {
  // No new input: the decoder works on what it has buffered.
  return DecodeFrame(nullptr, 0, channels, output, capacity, produced) == Result::Ok;
}
