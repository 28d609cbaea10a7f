#include "audio/audio_source.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "audio/audio_string_ids.h"
#include "audio/band_limited_resampling.h"
#include "audio/pcm_conversion.h"
#include "audio/rate_reduction.h"
#include "audio/resampler.h"
#include "audio/sound_file_kind.h"
#include "audio/triangular_dither.h"
#include "platform/error_text.h"
#include "platform/file.h"
#include "platform/text.h"

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
  m_errorText = FormatUtf8Text(BText(IDS_NO_SOUND_READER));
  bool recognised = false;
  for (size_t index = 0; index < m_readerMakers.size(); ++index) {
    std::unique_ptr<BAudioFile> reader = m_readerMakers[index]();
    if (!reader) continue;
    if (reader->Open(path)) {
      m_reader = std::move(reader);
      m_path = path;
      m_readerIndex = index;
      m_errorText.clear();
      return true;
    }
    // The first reader that knew the file for its kind tells the reason.
    if (!recognised) m_errorText = reader->GetErrorText();
    recognised = recognised || reader->IsRecognised();
    reader->Close();  // a reader may stay partly open after a failed Open
  }
  // No reader knew the file: an empty one is empty, whatever its name says;
  // when it is of a kind known by name, say which.
  unsigned long long size = 0;
  BFile file;
  if (!recognised && file.OpenReadShared(path) && file.GetSize(size) && size == 0) {
    m_errorText = FormatUtf8Text(BText(IDS_FILE_EMPTY));
    return false;
  }
  const BSoundKind kind = recognised ? BSoundKind::Unknown : DetectSoundKindOfFile(path);
  if (kind != BSoundKind::Unknown && kind != BSoundKind::Mpeg)
    m_errorText = SoundKindText(IDS_KIND_NOT_READ, kind);
  return false;
}

void BAudioSource::Close() {
  if (m_reader) m_reader->Close();
  m_reader.reset();
  std::vector<uint8_t>().swap(m_decoded);
  std::vector<float>().swap(m_precise);
  std::vector<uint8_t>().swap(m_output);
  m_channel = -1;
  m_notes.clear();
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
    m_errorText = FormatUtf8Text(BText(IDS_TARGET_RATE_ZERO));
    return false;
  }
  m_notes.clear();
  try {
    const size_t decodedBefore = DecodedCount();
    const size_t outputBefore = m_output.size();
    m_channelPower[0] = m_channelPower[1] = m_mixPower = 0.0;
    bool reachedEnd = false;
    if (!DecodeChunks(format, maxMilliseconds, reachedEnd)) return false;
    // Stereo whose channels cancel would import as silence: the file is read
    // once more, its louder channel alone. Only from the start of the file.
    if (decodedBefore == 0 && m_channel < 0 && ChannelsCancel(format.samplesPerSec)) {
      const uint16_t louder = m_channelPower[1] > m_channelPower[0] ? 1 : 0;
      if (!ReopenForChannel(louder)) return false;
      m_notes.push_back(BText(IDS_NOTE_CHANNELS_CANCEL, {louder == 0 ? 1 : 2}));
      if (!DecodeChunks(format, maxMilliseconds, reachedEnd)) return false;
    }
    if (DecodedCount() == decodedBefore) {
      m_errorText = FormatUtf8Text(BText(IDS_NO_SOUND));
      return false;
    }
    bool converted = false;
    if (m_conversion == BConversion::HighQuality) {
      converted =
          AppendHighQualityOutput(decodedBefore, format.samplesPerSec, targetRate, reachedEnd);
    } else {
      ToSignedSamples(m_decoded.data() + decodedBefore, m_decoded.size() - decodedBefore);
      converted = AppendOutput(decodedBefore, format.samplesPerSec, targetRate);
    }
    if (converted && std::all_of(m_output.begin() + static_cast<std::ptrdiff_t>(outputBefore),
                                 m_output.end(), [](uint8_t b) {
                                   const int v = static_cast<int8_t>(b);
                                   return v >= -1 && v <= 1;
                                 }))
      m_notes.push_back(BText(IDS_NOTE_NEARLY_SILENT));
    return converted;
  } catch (const std::bad_alloc&) {
    m_errorText = ::GetErrorText(OutOfMemorySystemError());
    return false;
  }
}

// Formats the conversion cannot take are refused with a reason instead of
// giving noise (or dividing by a rate of 0).
bool BAudioSource::CheckFormat(const BPcmFormat& format) {
  if (format.samplesPerSec == 0) {
    m_errorText = FormatUtf8Text(BText(IDS_NO_SOUND));
    return false;
  }
  if (format.channels == 0 || PcmSampleBytes(format.bitsPerSample) == 0) {
    m_errorText = FormatUtf8Text(
        BText(IDS_SAMPLE_FORMAT_UNSUPPORTED, {format.bitsPerSample, format.channels}));
    return false;
  }
  return true;
}

// Over at least 50 ms of sound, the mean of the two channels is more than
// 20 dB below the louder one, and that channel is louder than half a step of
// the siren's format.
bool BAudioSource::ChannelsCancel(uint32_t rate) const {
  const double louder = std::max(m_channelPower[0], m_channelPower[1]);
  const size_t count = DecodedCount();
  constexpr double kHalfStep = 0.5 / 128;
  return count > 0 && count >= rate / 20 && louder / count > kHalfStep * kHalfStep &&
         m_mixPower < 0.01 * louder;
}

bool BAudioSource::ReopenForChannel(uint16_t channel) {
  std::unique_ptr<BAudioFile> reader = m_readerMakers[m_readerIndex]();
  if (!reader || !reader->Open(m_path)) {
    m_errorText = reader ? reader->GetErrorText() : FormatUtf8Text(BText(IDS_NO_SOUND_READER));
    return false;
  }
  m_reader->Close();
  m_reader = std::move(reader);
  m_decoded.clear();
  m_precise.clear();
  m_channel = channel;
  return true;
}

size_t BAudioSource::DecodedCount() const {
  return m_conversion == BConversion::HighQuality ? m_precise.size() : m_decoded.size();
}

// Reads chunks until the sound ends or its running duration has passed
// `maxMilliseconds`, appending them to the decoded buffer as unsigned 8-bit
// mono (high quality: as mono fractions of full scale). The duration drops
// each chunk's fraction of a millisecond.
bool BAudioSource::DecodeChunks(const BPcmFormat& format, uint32_t maxMilliseconds,
                                bool& reachedEnd) {
  const uint32_t sampleBytes = PcmSampleBytes(format.bitsPerSample);
  const uint32_t frameBytes = format.channels * sampleBytes;
  const uint32_t capacity = static_cast<uint32_t>(std::clamp<uint64_t>(
      static_cast<uint64_t>(format.avgBytesPerSec * 1.5), frameBytes, kMaxChunkBytes));
  // Room behind the chunk for the start of a frame that a read cut off: it is
  // carried into the next chunk so that the channels stay in step.
  std::vector<uint8_t> chunk(static_cast<size_t>(capacity) + frameBytes);
  uint32_t carried = 0;
  double duration = 0.0;
  reachedEnd = false;
  do {
    int32_t count = 0;
    if (!m_reader->Read(chunk.data() + carried, capacity, count)) {
      reachedEnd = count == 0;
      if (reachedEnd) break;  // the end of the sound
      m_errorText = m_reader->GetErrorText();
      return false;
    }
    const uint32_t bytes = carried + static_cast<uint32_t>(std::clamp<int64_t>(count, 0, capacity));
    const uint32_t frames = bytes / frameBytes;
    uint32_t samples = frames;
    uint16_t channels = format.channels;
    if (m_channel >= 0) {
      SelectChannel(chunk.data(), frames, channels, sampleBytes, static_cast<uint16_t>(m_channel));
      channels = 1;
    } else {
      AddStereoPower(chunk.data(), frames, channels, sampleBytes, m_channelPower, m_mixPower);
    }
    if (m_conversion == BConversion::HighQuality) {
      AppendMonoFractions(chunk.data(), frames, channels, sampleBytes, m_precise);
    } else {
      samples = DownMixToMono(chunk.data(), frames, channels, sampleBytes);
      samples = ReduceToEightBits(chunk.data(), samples, sampleBytes);
      m_decoded.insert(m_decoded.end(), chunk.data(), chunk.data() + samples);
    }

    carried = bytes - frames * frameBytes;
    std::memmove(chunk.data(), chunk.data() + static_cast<size_t>(frames) * frameBytes, carried);
    duration = std::trunc(duration + samples * 1000.0 / format.samplesPerSec);
  } while (duration <= maxMilliseconds);
  return true;
}

// Moves the signed samples decoded from `decodedStart` on into the output,
// resampled when the rates differ. A rate too high for the interpolation is
// first reduced by a whole factor.
bool BAudioSource::AppendOutput(size_t decodedStart, uint32_t sourceRate, uint32_t targetRate) {
  const uint8_t* decoded = m_decoded.data() + decodedStart;
  size_t decodedLength = m_decoded.size() - decodedStart;
  if (sourceRate == targetRate) {
    m_output.insert(m_output.end(), decoded, decoded + decodedLength);
    return true;
  }
  std::vector<int8_t> reduced;
  const uint32_t factor = RateReductionFactor(sourceRate, targetRate);
  if (factor > 1) {
    reduced = ReduceRate(reinterpret_cast<const int8_t*>(decoded), decodedLength, factor);
    decoded = reinterpret_cast<const uint8_t*>(reduced.data());
    decodedLength = reduced.size();
  }
  if (decodedLength > UINT32_MAX) {
    m_errorText = FormatUtf8Text(BText(IDS_SOUND_TOO_LONG));
    return false;
  }
  const uint32_t count = static_cast<uint32_t>(decodedLength);
  const double reducedRate = static_cast<double>(sourceRate) / factor;
  BResampler resampler(reducedRate, targetRate);
  // Very short sounds can give a sample or two more than the usual room.
  const uint64_t room =
      std::max(ResampledCapacity(reducedRate, targetRate, count), resampler.MaxOutputCount(count));
  std::vector<int8_t> resampled(room);
  uint32_t produced =
      resampler.Resample(reinterpret_cast<const int8_t*>(decoded), resampled.data(), count);
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(resampled.data());
  m_output.insert(m_output.end(), bytes, bytes + produced);
  return true;
}

// The high-quality path: what the file's decoding put before and after the
// sound goes (the start only at the file's start, the end only when the file
// was read to its end), the rate changes band-limited to as many samples as
// the standard conversion makes, and the steps are rounded with dither.
bool BAudioSource::AppendHighQualityOutput(size_t decodedStart, uint32_t sourceRate,
                                           uint32_t targetRate, bool reachedEnd) {
  const BSoundTrim trim = m_reader->GetTrim();
  size_t count = m_precise.size() - decodedStart;
  size_t head = decodedStart == 0 ? std::min<size_t>(trim.start, count) : 0;
  if (decodedStart == 0) {
    // Near-silent: below half a step of the siren's format.
    const float* after = m_precise.data() + head;
    const size_t most = std::min<size_t>(trim.quietStart, count - head);
    size_t quiet = 0;
    while (quiet < most && std::fabs(after[quiet]) < 0.5f / 128) ++quiet;
    head += quiet;
  }
  const size_t tail = reachedEnd ? std::min<size_t>(trim.end, count - head) : 0;
  const float* sound = m_precise.data() + decodedStart + head;
  count -= head + tail;
  if (count == 0) {
    m_errorText = FormatUtf8Text(BText(IDS_NO_SOUND));
    return false;
  }
  std::vector<float> resampled;
  if (sourceRate == targetRate) {
    resampled.assign(sound, sound + count);
  } else {
    const uint64_t length = BResampler::OutputCount(count, sourceRate, targetRate);
    if (length > UINT32_MAX) {
      m_errorText = FormatUtf8Text(BText(IDS_SOUND_TOO_LONG));
      return false;
    }
    if (!ResampleBandLimited(sound, count, sourceRate, targetRate, static_cast<size_t>(length),
                             resampled, m_errorText))
      return false;
  }
  BTriangularDither dither;
  dither.AppendSirenBytes(resampled.data(), resampled.size(), m_output);
  return true;
}
