#include "audio/flac_file.h"

#include <FLAC/stream_decoder.h>

#include "audio/audio_string_ids.h"
#include "audio/sound_file_kind.h"
#include "platform/error_text.h"

struct BFlacDecoder {
  FLAC__StreamDecoder* stream = nullptr;
};

// The decoder's callbacks, with the types libFLAC declares.
struct BFlacCallbacks {
  static BFlacFile& Reader(void* self) { return *static_cast<BFlacFile*>(self); }

  static FLAC__StreamDecoderReadStatus Read(const FLAC__StreamDecoder*, FLAC__byte buffer[],
                                            size_t* bytes, void* self) {
    const long got = Reader(self).m_stream.Read(buffer, *bytes);
    *bytes = got > 0 ? static_cast<size_t>(got) : 0;
    if (got < 0) return FLAC__STREAM_DECODER_READ_STATUS_ABORT;
    return got == 0 ? FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM
                    : FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
  }

  static FLAC__StreamDecoderSeekStatus Seek(const FLAC__StreamDecoder*, FLAC__uint64 offset,
                                            void* self) {
    return Reader(self).m_stream.Seek(offset) ? FLAC__STREAM_DECODER_SEEK_STATUS_OK
                                              : FLAC__STREAM_DECODER_SEEK_STATUS_ERROR;
  }

  static FLAC__StreamDecoderTellStatus Tell(const FLAC__StreamDecoder*, FLAC__uint64* offset,
                                            void* self) {
    *offset = Reader(self).m_stream.Position();
    return FLAC__STREAM_DECODER_TELL_STATUS_OK;
  }

  static FLAC__StreamDecoderLengthStatus Length(const FLAC__StreamDecoder*, FLAC__uint64* length,
                                                void* self) {
    *length = Reader(self).m_stream.Size();
    return FLAC__STREAM_DECODER_LENGTH_STATUS_OK;
  }

  static FLAC__bool AtEnd(const FLAC__StreamDecoder*, void* self) {
    const BFileStream& stream = Reader(self).m_stream;
    return stream.Position() >= stream.Size();
  }

  // Interleaves a frame into the target in the output format.
  static FLAC__StreamDecoderWriteStatus Write(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                              const FLAC__int32* const buffer[], void* self) {
    BFlacFile& reader = Reader(self);
    const uint32_t channels = reader.m_format.channels;
    const uint32_t samples = frame->header.blocksize;
    if (frame->header.channels != channels ||
        frame->header.bits_per_sample != reader.m_bitsPerSample)
      return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
    reader.m_counted += samples;
    ++reader.m_goodFrames;
    if (!reader.m_target) return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    const uint32_t bytes = reader.m_format.bitsPerSample / 8u;
    const uint32_t shift = reader.m_format.bitsPerSample - reader.m_bitsPerSample;
    std::vector<uint8_t>& target = *reader.m_target;
    std::size_t at = target.size();
    target.resize(at + static_cast<std::size_t>(samples) * channels * bytes);
    for (uint32_t i = 0; i < samples; ++i) {
      for (uint32_t c = 0; c < channels; ++c) {
        // Left-justified in its bytes; 8-bit samples are unsigned, as in WAVE files.
        uint32_t value = static_cast<uint32_t>(buffer[c][i]) << shift;
        if (bytes == 1) value += 128;
        for (uint32_t b = 0; b < bytes; ++b) target[at++] = static_cast<uint8_t>(value >> (8 * b));
      }
    }
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
  }

  static void Metadata(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* metadata,
                       void* self) {
    if (metadata->type != FLAC__METADATA_TYPE_STREAMINFO) return;
    BFlacFile& reader = Reader(self);
    const FLAC__StreamMetadata_StreamInfo& info = metadata->data.stream_info;
    reader.m_bitsPerSample = info.bits_per_sample;
    reader.m_totalSamples = info.total_samples;
    reader.m_format.channels = static_cast<uint16_t>(info.channels);
    reader.m_format.samplesPerSec = info.sample_rate;
  }

  // Damaged frames are skipped: the decoder searches for the next one itself.
  static void Error(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void* self) {
    Reader(self).m_sawDamage = true;
  }
};

BFlacFile::~BFlacFile() { Close(); }

bool BFlacFile::Open(const std::string& path) {
  if (!Claim(path, BSoundKind::Flac)) return false;
  if (!m_stream.Open(path)) return Refuse(::GetErrorText(m_stream.Error()));
  m_decoder = new BFlacDecoder();
  m_decoder->stream = FLAC__stream_decoder_new();
  if (!m_decoder->stream) return Refuse(::GetErrorText(OutOfMemorySystemError()));
  if (FLAC__stream_decoder_init_stream(
          m_decoder->stream, BFlacCallbacks::Read, BFlacCallbacks::Seek, BFlacCallbacks::Tell,
          BFlacCallbacks::Length, BFlacCallbacks::AtEnd, BFlacCallbacks::Write,
          BFlacCallbacks::Metadata, BFlacCallbacks::Error,
          this) != FLAC__STREAM_DECODER_INIT_STATUS_OK ||
      !ReadStreamInfo() || (m_totalSamples == 0 && !EstimateSamples()))
    return Refuse(SoundKindText(IDS_KIND_DAMAGED, BSoundKind::Flac));
  ResetDecoded();
  return true;
}

// The stream's header gives the format; widths are taken in whole bytes.
bool BFlacFile::ReadStreamInfo() {
  if (!FLAC__stream_decoder_process_until_end_of_metadata(m_decoder->stream) ||
      m_format.samplesPerSec == 0 || m_format.channels == 0 || m_bitsPerSample == 0)
    return false;
  m_format.bitsPerSample = static_cast<uint16_t>((m_bitsPerSample + 7) / 8 * 8);
  m_format.blockAlign = static_cast<uint16_t>(m_format.channels * m_format.bitsPerSample / 8);
  m_format.avgBytesPerSec = m_format.samplesPerSec * m_format.blockAlign;
  return true;
}

// Decodes the first frames (up to 10 s of sound) only counting, and starts
// the stream again: their samples over the bytes they took, times the bytes
// of all frames. Decoding a long file to count it would keep the window
// waiting (two hours: many seconds).
bool BFlacFile::EstimateSamples() {
  FLAC__StreamDecoder* decoder = m_decoder->stream;
  FLAC__uint64 first = 0, last = 0;
  if (!FLAC__stream_decoder_get_decode_position(decoder, &first)) return false;
  m_target = nullptr;
  m_counted = 0;
  const uint64_t enough = static_cast<uint64_t>(m_format.samplesPerSec) * 10;
  bool ended = false;
  while (m_counted < enough) {
    if (!FLAC__stream_decoder_process_single(decoder)) return false;
    const FLAC__StreamDecoderState state = FLAC__stream_decoder_get_state(decoder);
    if (state == FLAC__STREAM_DECODER_END_OF_STREAM) {
      ended = true;
      break;
    }
    if (state >= FLAC__STREAM_DECODER_OGG_ERROR) return false;
  }
  if (!ended && !FLAC__stream_decoder_get_decode_position(decoder, &last)) return false;
  uint64_t total = m_counted;
  if (!ended && last > first) {
    const double frameBytes = static_cast<double>(m_stream.Size() - first);
    total = static_cast<uint64_t>(m_counted * frameBytes / static_cast<double>(last - first));
  }
  m_goodFrames = 0;
  m_sawDamage = false;
  if (!FLAC__stream_decoder_reset(decoder) ||
      !FLAC__stream_decoder_process_until_end_of_metadata(decoder))
    return false;
  m_totalSamples = total;  // the header, read again, said 0
  return true;
}

void BFlacFile::Close() {
  if (m_decoder && m_decoder->stream) FLAC__stream_decoder_delete(m_decoder->stream);
  delete m_decoder;
  m_decoder = nullptr;
  m_stream.Close();
  m_target = nullptr;
  m_goodFrames = 0;
  m_sawDamage = false;
  ResetDecoded();
}

int32_t BFlacFile::GetLength() { return LengthOf(m_totalSamples); }

BDecodedAudioFile::BDecodeStep BFlacFile::DecodeMore(std::vector<uint8_t>& pcm) {
  m_target = &pcm;
  const bool processed = FLAC__stream_decoder_process_single(m_decoder->stream);
  m_target = nullptr;
  const FLAC__StreamDecoderState state = FLAC__stream_decoder_get_state(m_decoder->stream);
  // A stream whose every frame was damaged is a damaged file, not a silent one.
  if (state == FLAC__STREAM_DECODER_END_OF_STREAM && m_goodFrames == 0 && m_sawDamage) {
    m_errorText = SoundKindText(IDS_KIND_DAMAGED, BSoundKind::Flac);
    return BDecodeStep::Failure;
  }
  if (state == FLAC__STREAM_DECODER_END_OF_STREAM) return BDecodeStep::End;
  if (!processed || state >= FLAC__STREAM_DECODER_OGG_ERROR) {
    m_errorText = SoundKindText(IDS_KIND_DAMAGED, BSoundKind::Flac);
    return BDecodeStep::Failure;
  }
  return BDecodeStep::Data;
}
