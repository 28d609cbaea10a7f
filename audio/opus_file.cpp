#include "audio/opus_file.h"

#include <opusfile.h>

#include <cstring>

#include "audio/audio_string_ids.h"
#include "audio/sound_file_kind.h"
#include "platform/error_text.h"

namespace {

// The check sum of an Ogg page: CRC-32 with the polynomial 0x04C11DB7, not
// reflected, starting from 0, over the page with its own field as zeros.
uint32_t OggChecksum(const std::vector<uint8_t>& page) {
  uint32_t crc = 0;
  for (uint8_t byte : page) {
    crc ^= static_cast<uint32_t>(byte) << 24;
    for (int bit = 0; bit < 8; ++bit) crc = crc & 0x80000000u ? crc << 1 ^ 0x04C11DB7u : crc << 1;
  }
  return crc;
}

}  // namespace

// opusfile's callbacks over the reader's stream, with the first page as
// PrepareMappingHead made it.
struct BOpusCallbacks {
  static int Read(void* self, unsigned char* buffer, int bytes) {
    BOpusFile& reader = *static_cast<BOpusFile*>(self);
    const uint64_t at = reader.m_stream.Position();
    const long got = reader.m_stream.Read(buffer, static_cast<size_t>(bytes));
    if (got < 0) return -1;
    for (uint64_t i = at; i < at + static_cast<uint64_t>(got) && i < reader.m_head.size(); ++i)
      buffer[i - at] = reader.m_head[i];
    return static_cast<int>(got);
  }
  static int Seek(void* self, opus_int64 offset, int whence) {
    return static_cast<BOpusFile*>(self)->m_stream.SeekFrom(offset, whence) ? 0 : -1;
  }
  static opus_int64 Tell(void* self) {
    return static_cast<opus_int64>(static_cast<BOpusFile*>(self)->m_stream.Position());
  }
};

namespace {

constexpr OpusFileCallbacks kCallbacks = {BOpusCallbacks::Read, BOpusCallbacks::Seek,
                                          BOpusCallbacks::Tell, nullptr};

// One decoding call gives at most 120 ms of stereo sound, the longest packet.
constexpr int kDecodeSamples = 5760 * 2;

}  // namespace

BOpusFile::~BOpusFile() { Close(); }

bool BOpusFile::Open(const std::string& path) {
  if (!Claim(path, BSoundKind::OggOpus)) return false;
  if (!m_stream.Open(path)) return Refuse(::GetErrorText(m_stream.Error()));
  PrepareMappingHead();
  int error = 0;
  m_opus = op_open_callbacks(this, &kCallbacks, nullptr, 0, &error);
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
  std::vector<uint8_t>().swap(m_head);
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

void BOpusFile::PrepareMappingHead() {
  m_head.clear();
  std::vector<uint8_t> page(27);
  if (m_stream.Read(page.data(), page.size()) != 27 || std::memcmp(page.data(), "OggS", 4) != 0) {
    m_stream.Seek(0);
    return;
  }
  const std::size_t segments = page[26];
  page.resize(27 + segments);
  std::size_t body = 0;
  if (m_stream.Read(page.data() + 27, segments) == static_cast<long>(segments))
    for (std::size_t i = 0; i < segments; ++i) body += page[27 + i];
  const std::size_t start = page.size();
  page.resize(start + body);
  const bool whole =
      body > 0 && m_stream.Read(page.data() + start, body) == static_cast<long>(body);
  m_stream.Seek(0);
  // OpusHead: the channel count at 9, the mapping family at 18, the table from 21.
  if (!whole || body < 21 || std::memcmp(page.data() + start, "OpusHead", 8) != 0) return;
  const uint8_t channels = page[start + 9];
  if (page[start + 18] != 255 || channels == 0 || channels > 8 || body < 21u + channels) return;
  page[start + 18] = 1;
  std::memset(page.data() + 22, 0, 4);
  const uint32_t crc = OggChecksum(page);
  for (int b = 0; b < 4; ++b) page[22 + b] = static_cast<uint8_t>(crc >> (8 * b));
  m_head = std::move(page);
}
