#include "audio/opus_file.h"

#include <opusfile.h>

#include "audio/audio_string_ids.h"
#include "audio/sound_file_kind.h"
#include "platform/error_text.h"

namespace {

// opusfile's callbacks over the reader's stream.
int ReadStream(void* stream, unsigned char* buffer, int bytes) {
  const long got = static_cast<BFileStream*>(stream)->Read(buffer, static_cast<size_t>(bytes));
  return got < 0 ? -1 : static_cast<int>(got);
}

int SeekStream(void* stream, opus_int64 offset, int whence) {
  return static_cast<BFileStream*>(stream)->SeekFrom(offset, whence) ? 0 : -1;
}

opus_int64 TellStream(void* stream) {
  return static_cast<opus_int64>(static_cast<BFileStream*>(stream)->Position());
}

constexpr OpusFileCallbacks kCallbacks = {ReadStream, SeekStream, TellStream, nullptr};

// One decoding call gives at most 120 ms of stereo sound, the longest packet.
constexpr int kDecodeSamples = 5760 * 2;

}  // namespace

BOpusFile::~BOpusFile() { Close(); }

bool BOpusFile::Open(const std::string& path) {
  if (!Claim(path, BSoundKind::OggOpus)) return false;
  if (!m_stream.Open(path)) return Refuse(::GetErrorText(m_stream.Error()));
  int error = 0;
  m_opus = op_open_callbacks(&m_stream, &kCallbacks, nullptr, 0, &error);
  if (!m_opus) return Refuse(SoundKindText(IDS_KIND_DAMAGED, BSoundKind::OggOpus));
  const ogg_int64_t samples = op_pcm_total(m_opus, -1);
  m_samples = samples > 0 ? static_cast<uint64_t>(samples) : 0;
  const int channels = op_channel_count(m_opus, 0);
  m_allChannels = channels > 2;
  m_format.channels = static_cast<uint16_t>(m_allChannels ? channels : 2);
  m_format.samplesPerSec = kRate;
  m_format.bitsPerSample = 16;
  m_format.blockAlign = static_cast<uint16_t>(m_format.channels * 2);
  m_format.avgBytesPerSec = kRate * m_format.blockAlign;
  ResetDecoded();
  return true;
}

void BOpusFile::Close() {
  if (m_opus) op_free(m_opus);
  m_opus = nullptr;
  m_stream.Close();
  m_samples = 0;
  std::vector<int16_t>().swap(m_samplesBuffer);
  ResetDecoded();
}

int32_t BOpusFile::GetLength() { return LengthOf(m_samples); }

BDecodedAudioFile::BDecodeStep BOpusFile::DecodeMore(std::vector<uint8_t>& pcm) {
  if (m_allChannels) return DecodeAllChannels(pcm);
  opus_int16 samples[kDecodeSamples];
  const int got = op_read_stereo(m_opus, samples, kDecodeSamples);
  if (got == 0) return BDecodeStep::End;
  if (got == OP_HOLE) return BDecodeStep::Data;
  if (got < 0) {
    m_errorText = SoundKindText(IDS_KIND_DAMAGED, BSoundKind::OggOpus);
    return BDecodeStep::Failure;
  }
  for (int i = 0; i < got * 2; ++i) {
    const uint16_t bits = static_cast<uint16_t>(samples[i]);
    pcm.push_back(static_cast<uint8_t>(bits));  // little-endian, as in a WAVE file
    pcm.push_back(static_cast<uint8_t>(bits >> 8));
  }
  return BDecodeStep::Data;
}

BDecodedAudioFile::BDecodeStep BOpusFile::DecodeAllChannels(std::vector<uint8_t>& pcm) {
  // 120 ms, the longest packet, of up to 255 channels.
  std::vector<int16_t>& samples = m_samplesBuffer;
  samples.resize(static_cast<std::size_t>(5760) * 255);
  int link = 0;
  const int got = op_read(m_opus, samples.data(), static_cast<int>(samples.size()), &link);
  if (got == 0) return BDecodeStep::End;
  if (got == OP_HOLE) return BDecodeStep::Data;
  if (got < 0) {
    m_errorText = SoundKindText(IDS_KIND_DAMAGED, BSoundKind::OggOpus);
    return BDecodeStep::Failure;
  }
  const int channels = op_channel_count(m_opus, link);
  const int outputChannels = m_format.channels;
  pcm.reserve(pcm.size() + static_cast<std::size_t>(got) * outputChannels * 2);
  for (int i = 0; i < got; ++i) {
    const opus_int16* frame = samples.data() + static_cast<std::size_t>(i) * channels;
    int mean = 0;
    if (channels != outputChannels) {
      int sum = 0;
      for (int c = 0; c < channels; ++c) sum += frame[c];
      mean = sum / channels;
    }
    for (int c = 0; c < outputChannels; ++c) {
      const uint16_t bits = static_cast<uint16_t>(channels == outputChannels ? frame[c] : mean);
      pcm.push_back(static_cast<uint8_t>(bits));  // little-endian, as in a WAVE file
      pcm.push_back(static_cast<uint8_t>(bits >> 8));
    }
  }
  return BDecodeStep::Data;
}
