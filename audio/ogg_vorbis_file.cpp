#include "audio/ogg_vorbis_file.h"

// The library's own stdio callbacks are not used.
#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include <soxr.h>

#include <algorithm>
#include <cmath>

#include "audio/audio_string_ids.h"
#include "audio/sound_file_kind.h"
#include "platform/error_text.h"

namespace {

// libvorbisfile's callbacks over the reader's stream.
size_t ReadStream(void* buffer, size_t size, size_t count, void* stream) {
  if (size == 0) return 0;
  const long got = static_cast<BFileStream*>(stream)->Read(buffer, size * count);
  return got > 0 ? static_cast<size_t>(got) / size : 0;
}

int SeekStream(void* stream, ogg_int64_t offset, int whence) {
  return static_cast<BFileStream*>(stream)->SeekFrom(offset, whence) ? 0 : -1;
}

long TellStream(void* stream) {
  return static_cast<long>(static_cast<BFileStream*>(stream)->Position());
}

constexpr ov_callbacks kCallbacks = {ReadStream, SeekStream, nullptr, TellStream};

// One decoding call gives at most this many bytes.
constexpr int kDecodeBytes = 16384;

}  // namespace

BOggVorbisFile::BOggVorbisFile() : m_vorbis(new OggVorbis_File()) {}

BOggVorbisFile::~BOggVorbisFile() { Close(); }

bool BOggVorbisFile::Open(const std::string& path) {
  if (!Claim(path, BSoundKind::OggVorbis)) return false;
  if (!m_stream.Open(path)) return Refuse(::GetErrorText(m_stream.Error()));
  if (ov_open_callbacks(&m_stream, m_vorbis.get(), nullptr, 0, kCallbacks) != 0)
    return Refuse(SoundKindText(IDS_KIND_DAMAGED, BSoundKind::OggVorbis));
  m_open = true;
  const vorbis_info* info = ov_info(m_vorbis.get(), 0);
  if (!info || info->channels <= 0 || info->rate <= 0)
    return Refuse(SoundKindText(IDS_KIND_DAMAGED, BSoundKind::OggVorbis));
  m_format.channels = static_cast<uint16_t>(info->channels);
  m_format.samplesPerSec = static_cast<uint32_t>(info->rate);
  m_format.bitsPerSample = 16;
  m_format.blockAlign = static_cast<uint16_t>(m_format.channels * 2);
  m_format.avgBytesPerSec = m_format.samplesPerSec * m_format.blockAlign;
  const long links = ov_streams(m_vorbis.get());
  for (int link = 0; link < links; ++link) {
    const ogg_int64_t samples = ov_pcm_total(m_vorbis.get(), link);
    const vorbis_info* linkInfo = ov_info(m_vorbis.get(), link);
    if (samples > 0 && linkInfo && linkInfo->rate > 0)
      m_samples += static_cast<uint64_t>(static_cast<double>(samples) * m_format.samplesPerSec /
                                         static_cast<double>(linkInfo->rate));
  }
  // Having scanned the links of a chained file, the library would go on
  // from the second: back to the start.
  if (links > 1 && ov_seekable(m_vorbis.get()) && ov_pcm_seek(m_vorbis.get(), 0) != 0)
    return Refuse(SoundKindText(IDS_KIND_DAMAGED, BSoundKind::OggVorbis));
  ResetDecoded();
  return true;
}

bool BOggVorbisFile::LinkMatches(int link) {
  const vorbis_info* info = ov_info(m_vorbis.get(), link);
  return info && info->channels == m_format.channels &&
         info->rate == static_cast<long>(m_format.samplesPerSec);
}

void BOggVorbisFile::Close() {
  if (m_resampler) soxr_delete(m_resampler);
  m_resampler = nullptr;
  m_resamplerLink = -1;
  if (m_open) ov_clear(m_vorbis.get());
  m_open = false;
  m_stream.Close();
  m_samples = 0;
  ResetDecoded();
}

int32_t BOggVorbisFile::GetLength() { return LengthOf(m_samples); }

BDecodedAudioFile::BDecodeStep BOggVorbisFile::DecodeMore(std::vector<uint8_t>& pcm) {
  const std::size_t at = pcm.size();
  pcm.resize(at + kDecodeBytes);
  int link = 0;
  const long got = ov_read(m_vorbis.get(), reinterpret_cast<char*>(pcm.data() + at), kDecodeBytes,
                           0, 2, 1, &link);
  if (got > 0 && LinkMatches(link)) {
    pcm.resize(at + static_cast<std::size_t>(got));
    if (m_resampler) {  // a link of another rate has ended: its last samples first
      std::vector<uint8_t> block(pcm.begin() + static_cast<std::ptrdiff_t>(at), pcm.end());
      pcm.resize(at);
      FlushResampler(pcm);
      pcm.insert(pcm.end(), block.begin(), block.end());
    }
    return BDecodeStep::Data;
  }
  std::vector<int16_t> other;
  if (got > 0) {
    other.resize(static_cast<std::size_t>(got) / 2);
    for (std::size_t i = 0; i < other.size(); ++i)
      other[i] = static_cast<int16_t>(pcm[at + 2 * i] | pcm[at + 2 * i + 1] << 8);
  }
  pcm.resize(at);
  if (got > 0) {
    const vorbis_info* info = ov_info(m_vorbis.get(), link);
    const std::size_t channels = info && info->channels > 0 ? info->channels : 1;
    if (!AppendConverted(link, other.data(), other.size() / channels, pcm)) {
      m_errorText = SoundKindText(IDS_KIND_DAMAGED, BSoundKind::OggVorbis);
      return BDecodeStep::Failure;
    }
    return BDecodeStep::Data;
  }
  if (got == 0) {
    FlushResampler(pcm);
    return BDecodeStep::End;
  }
  if (got == OV_HOLE) return BDecodeStep::Data;
  m_errorText = SoundKindText(IDS_KIND_DAMAGED, BSoundKind::OggVorbis);
  return BDecodeStep::Failure;
}

bool BOggVorbisFile::AppendConverted(int link, const int16_t* samples, std::size_t frames,
                                     std::vector<uint8_t>& pcm) {
  const vorbis_info* info = ov_info(m_vorbis.get(), link);
  if (!info || info->channels <= 0 || info->rate <= 0) return false;
  const std::size_t channels = static_cast<std::size_t>(info->channels);
  std::vector<float> mono(frames);
  for (std::size_t i = 0; i < frames; ++i) {
    float sum = 0.0f;
    for (std::size_t c = 0; c < channels; ++c) sum += samples[i * channels + c];
    mono[i] = sum / static_cast<float>(channels * 32768);
  }
  if (static_cast<uint32_t>(info->rate) == m_format.samplesPerSec) {
    FlushResampler(pcm);
    AppendMono(mono.data(), mono.size(), pcm);
    return true;
  }
  if (m_resampler && m_resamplerLink != link) FlushResampler(pcm);
  if (!m_resampler) {
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, SOXR_LINEAR_PHASE);
    soxr_error_t error = nullptr;
    m_resampler = soxr_create(static_cast<double>(info->rate), m_format.samplesPerSec, 1, &error,
                              nullptr, &quality, nullptr);
    if (error != nullptr || !m_resampler) return false;
    m_resamplerLink = link;
  }
  const double ratio = static_cast<double>(m_format.samplesPerSec) / info->rate;
  std::vector<float> out(static_cast<std::size_t>(frames * ratio) + 64);
  std::size_t used = 0, made = 0;
  if (soxr_process(m_resampler, mono.data(), frames, &used, out.data(), out.size(), &made) !=
      nullptr)
    return false;
  AppendMono(out.data(), made, pcm);
  return true;
}

void BOggVorbisFile::FlushResampler(std::vector<uint8_t>& pcm) {
  if (!m_resampler) return;
  std::vector<float> out(4096);
  std::size_t made = 0;
  do {
    made = 0;
    if (soxr_process(m_resampler, nullptr, 0, nullptr, out.data(), out.size(), &made) != nullptr)
      break;
    AppendMono(out.data(), made, pcm);
  } while (made == out.size());
  soxr_delete(m_resampler);
  m_resampler = nullptr;
  m_resamplerLink = -1;
}

// Each mono value in every output channel, as 16-bit little-endian PCM.
void BOggVorbisFile::AppendMono(const float* mono, std::size_t count,
                                std::vector<uint8_t>& pcm) const {
  for (std::size_t i = 0; i < count; ++i) {
    const float scaled = std::round(mono[i] * 32768.0f);
    const auto value = static_cast<int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
    for (uint16_t c = 0; c < m_format.channels; ++c) {
      pcm.push_back(static_cast<uint8_t>(static_cast<uint16_t>(value)));
      pcm.push_back(static_cast<uint8_t>(static_cast<uint16_t>(value) >> 8));
    }
  }
}
