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
  m_format.channels = 2;
  m_format.samplesPerSec = kRate;
  m_format.bitsPerSample = 16;
  m_format.blockAlign = 4;
  m_format.avgBytesPerSec = kRate * 4;
  ResetDecoded();
  return true;
}

void BOpusFile::Close() {
  if (m_opus) op_free(m_opus);
  m_opus = nullptr;
  m_stream.Close();
  m_samples = 0;
  ResetDecoded();
}

int32_t BOpusFile::GetLength() { return LengthOf(m_samples); }

BDecodedAudioFile::BDecodeStep BOpusFile::DecodeMore(std::vector<uint8_t>& pcm) {
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
