#include "audio/ogg_vorbis_file.h"

// The library's own stdio callbacks are not used.
#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

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
    if (samples > 0 && LinkMatches(link)) m_samples += static_cast<uint64_t>(samples);
  }
  ResetDecoded();
  return true;
}

bool BOggVorbisFile::LinkMatches(int link) {
  const vorbis_info* info = ov_info(m_vorbis.get(), link);
  return info && info->channels == m_format.channels &&
         info->rate == static_cast<long>(m_format.samplesPerSec);
}

void BOggVorbisFile::Close() {
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
  const bool heard = got > 0 && LinkMatches(link);
  pcm.resize(at + (heard ? static_cast<std::size_t>(got) : 0));
  if (got == 0) return BDecodeStep::End;
  if (got == OV_HOLE || got > 0) return BDecodeStep::Data;
  m_errorText = SoundKindText(IDS_KIND_DAMAGED, BSoundKind::OggVorbis);
  return BDecodeStep::Failure;
}
