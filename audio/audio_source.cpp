#include "audio/audio_source.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "audio/audio_texts.h"
#include "audio/pcm_conversion.h"
#include "audio/resampler.h"
#include "audio/sound_file_kind.h"
#include "platform/error_text.h"
#include "ui/string_ids.h"

namespace {

// A chunk holds 1.5 s of the reader's output; a damaged header must not make
// it absurdly large (the widest real formats need less than 20 MB).
constexpr uint64_t kMaxChunkBytes = 64u << 20;

// What the program says when asked about a sound while no file is open.
std::string InvalidHandleText() { return GetErrorText(InvalidHandleSystemError()); }

}  // namespace

BAudioSource::BAudioSource(std::vector<BAudioReaderMaker> readerMakers)
    : m_readerMakers(std::move(readerMakers)) {}

BAudioSource::~BAudioSource() { Close(); }

bool BAudioSource::Open(const std::string& path) {
  Close();
  m_errorText = AudioText(IDS_NO_SOUND_READER);
  bool recognised = false;
  for (const BAudioReaderMaker& makeReader : m_readerMakers) {
    std::unique_ptr<BAudioFile> reader = makeReader();
    if (!reader) continue;
    if (reader->Open(path)) {
      m_reader = std::move(reader);
      m_errorText.clear();
      return true;
    }
    // The first reader that knew the file for its kind tells the reason.
    if (!recognised) m_errorText = reader->GetErrorText();
    recognised = recognised || reader->IsRecognised();
    reader->Close();  // a reader may stay partly open after a failed Open
  }
  // No reader knew the file: when it is of a kind known by name, say which.
  const BSoundKind kind = recognised ? BSoundKind::Unknown : DetectSoundKindOfFile(path);
  if (kind != BSoundKind::Unknown && kind != BSoundKind::Mpeg)
    m_errorText = SoundKindText(IDS_KIND_NOT_READ, kind);
  return false;
}

void BAudioSource::Close() {
  if (m_reader) m_reader->Close();
  m_reader.reset();
  std::vector<uint8_t>().swap(m_decoded);
  std::vector<uint8_t>().swap(m_output);
}

int32_t BAudioSource::GetLength() {
  if (!m_reader) {
    m_errorText = InvalidHandleText();
    return -1;
  }
  int32_t length = m_reader->GetLength();
  if (length < 0) m_errorText = m_reader->GetErrorText();
  return length;
}

const uint8_t* BAudioSource::GetData(uint32_t& length) const {
  length = static_cast<uint32_t>(m_output.size());
  return m_output.data();
}

const std::string& BAudioSource::GetErrorText() const { return m_errorText; }

bool BAudioSource::Convert(uint32_t targetRate, uint32_t maxMilliseconds) {
  if (!m_reader) {
    m_errorText = InvalidHandleText();
    return false;
  }
  const BPcmFormat format = m_reader->GetFormat();
  if (!CheckFormat(format)) return false;
  if (targetRate == 0) {
    m_errorText = AudioText(IDS_TARGET_RATE_ZERO);
    return false;
  }
  try {
    const size_t decodedBefore = m_decoded.size();
    if (!DecodeChunks(format, maxMilliseconds)) return false;
    if (m_decoded.size() == decodedBefore) {
      m_errorText = AudioText(IDS_NO_SOUND);
      return false;
    }
    ToSignedSamples(m_decoded.data() + decodedBefore, m_decoded.size() - decodedBefore);
    return AppendOutput(decodedBefore, format.samplesPerSec, targetRate);
  } catch (const std::bad_alloc&) {
    m_errorText = ::GetErrorText(OutOfMemorySystemError());
    return false;
  }
}

// Formats the conversion cannot take are refused with a reason instead of
// giving noise (or dividing by a rate of 0).
bool BAudioSource::CheckFormat(const BPcmFormat& format) {
  if (format.samplesPerSec == 0) {
    m_errorText = AudioText(IDS_NO_SOUND);
    return false;
  }
  if (format.channels == 0 || PcmSampleBytes(format.bitsPerSample) == 0) {
    m_errorText = AudioText(IDS_SAMPLE_FORMAT_UNSUPPORTED, format.bitsPerSample, format.channels);
    return false;
  }
  return true;
}

// Reads chunks until the sound ends or its running duration has passed
// `maxMilliseconds`, appending them to the decoded buffer as unsigned 8-bit
// mono. The duration drops each chunk's fraction of a millisecond.
bool BAudioSource::DecodeChunks(const BPcmFormat& format, uint32_t maxMilliseconds) {
  const uint32_t sampleBytes = PcmSampleBytes(format.bitsPerSample);
  const uint32_t frameBytes = format.channels * sampleBytes;
  const uint32_t capacity = static_cast<uint32_t>(std::clamp<uint64_t>(
      static_cast<uint64_t>(format.avgBytesPerSec * 1.5), frameBytes, kMaxChunkBytes));
  // Room behind the chunk for the start of a frame that a read cut off: it is
  // carried into the next chunk so that the channels stay in step.
  std::vector<uint8_t> chunk(static_cast<size_t>(capacity) + frameBytes);
  uint32_t carried = 0;
  double duration = 0.0;
  do {
    int32_t count = 0;
    if (!m_reader->Read(chunk.data() + carried, capacity, count)) {
      if (count == 0) break;  // the end of the sound
      m_errorText = m_reader->GetErrorText();
      return false;
    }
    const uint32_t bytes = carried + static_cast<uint32_t>(std::clamp<int64_t>(count, 0, capacity));
    const uint32_t frames = bytes / frameBytes;
    uint32_t samples = DownMixToMono(chunk.data(), frames, format.channels, sampleBytes);
    samples = ReduceToEightBits(chunk.data(), samples, sampleBytes);
    m_decoded.insert(m_decoded.end(), chunk.data(), chunk.data() + samples);

    carried = bytes - frames * frameBytes;
    std::memmove(chunk.data(), chunk.data() + static_cast<size_t>(frames) * frameBytes, carried);
    duration = std::trunc(duration + samples * 1000.0 / format.samplesPerSec);
  } while (duration <= maxMilliseconds);
  return true;
}

// Moves the signed samples decoded from `decodedStart` on into the output,
// resampled when the rates differ.
bool BAudioSource::AppendOutput(size_t decodedStart, uint32_t sourceRate, uint32_t targetRate) {
  const uint8_t* decoded = m_decoded.data() + decodedStart;
  const size_t decodedLength = m_decoded.size() - decodedStart;
  if (sourceRate == targetRate) {
    m_output.insert(m_output.end(), decoded, decoded + decodedLength);
    return true;
  }
  if (decodedLength > UINT32_MAX) {
    m_errorText = AudioText(IDS_SOUND_TOO_LONG);
    return false;
  }
  const uint32_t count = static_cast<uint32_t>(decodedLength);
  BResampler resampler(sourceRate, targetRate);
  // Very short sounds can give a sample or two more than the usual room.
  const uint64_t room =
      std::max(ResampledCapacity(sourceRate, targetRate, count), resampler.MaxOutputCount(count));
  std::vector<int8_t> resampled(room);
  uint32_t produced =
      resampler.Resample(reinterpret_cast<const int8_t*>(decoded), resampled.data(), count);
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(resampled.data());
  m_output.insert(m_output.end(), bytes, bytes + produced);
  return true;
}
