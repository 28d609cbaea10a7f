#include "audio/system_audio_file.h"

#include <algorithm>
#include <new>

#include "audio/audio_string_ids.h"
#include "platform/error_text.h"

BSystemAudioFile::BSystemAudioFile(std::unique_ptr<BSystemDecoder> decoder)
    : m_decoder(std::move(decoder)) {}

BSystemAudioFile::~BSystemAudioFile() { Close(); }

bool BSystemAudioFile::Reads(BSoundKind kind) {
  return kind == BSoundKind::Mp4 || kind == BSoundKind::Adts || kind == BSoundKind::Asf;
}

bool BSystemAudioFile::Open(const std::string& path) {
  Close();
  m_recognised = false;
  m_format = BPcmFormat();
  m_kind = DetectSoundKindOfFile(path);
  if (!Reads(m_kind)) {
    m_errorText = SoundKindText(IDS_KIND_EXPECTED, BSoundKind::Mp4);
    return false;
  }
  m_recognised = true;
  const BSystemDecoder::BStatus status = m_decoder->Open(path, m_format, m_milliseconds);
  // The conversion takes 16-bit samples of any channel count at any rate.
  const bool usable =
      m_format.bitsPerSample == 16 && m_format.channels > 0 && m_format.samplesPerSec > 0;
  if (status != BSystemDecoder::BStatus::Ok || !usable)
    return RefuseFor(status == BSystemDecoder::BStatus::Ok ? BSystemDecoder::BStatus::Failure
                                                           : status);
  m_format.formatTag = 1;
  m_format.blockAlign = static_cast<uint16_t>(m_format.channels * 2);
  m_format.avgBytesPerSec = m_format.samplesPerSec * m_format.blockAlign;
  m_open = true;
  ResetDecoded();
  // Without a length from the file the sound is decoded ahead to measure it,
  // but no further than any import can use: a longer file counts as that
  // long (and is offered cut), instead of being held in memory whole.
  if (m_milliseconds == 0) {
    const uint64_t most = static_cast<uint64_t>(kMaxDecodedAheadSeconds) * m_format.samplesPerSec *
                          m_format.blockAlign;
    uint64_t bytes = 0;
    try {
      if (!DecodeAhead(most, bytes)) return RefuseFor(BSystemDecoder::BStatus::Failure);
    } catch (const std::bad_alloc&) {
      return Refuse(::GetErrorText(OutOfMemorySystemError()));
    }
    m_milliseconds = static_cast<uint32_t>(
        std::min<uint64_t>(bytes / m_format.blockAlign * 1000 / m_format.samplesPerSec, INT32_MAX));
  }
  return true;
}

bool BSystemAudioFile::RefuseFor(BSystemDecoder::BStatus status) {
  const unsigned text = status == BSystemDecoder::BStatus::NoFramework
                            ? IDS_KIND_NO_MEDIA_FOUNDATION
                        : status == BSystemDecoder::BStatus::NoDecoder ? IDS_KIND_NO_SYSTEM_DECODER
                                                                       : IDS_KIND_DAMAGED;
  return Refuse(SoundKindText(text, m_kind));
}

void BSystemAudioFile::Close() {
  m_decoder->Close();
  m_open = false;
  m_milliseconds = 0;
  ResetDecoded();
}

int32_t BSystemAudioFile::GetLength() {
  if (!m_open) {
    m_errorText = ::GetErrorText(InvalidHandleSystemError());
    return -1;
  }
  return static_cast<int32_t>(std::min<uint32_t>(m_milliseconds, INT32_MAX));
}

BDecodedAudioFile::BDecodeStep BSystemAudioFile::DecodeMore(std::vector<uint8_t>& pcm) {
  bool end = false;
  if (m_decoder->Decode(pcm, end) != BSystemDecoder::BStatus::Ok) {
    m_errorText = SoundKindText(IDS_KIND_DAMAGED, m_kind);
    return BDecodeStep::Failure;
  }
  return end ? BDecodeStep::End : BDecodeStep::Data;
}
