// The reader of RIFF WAVE files over multimedia file I/O.
#include "audio/wave_file.h"

#include "audio/audio_string_ids.h"
#include "audio/sound_file_kind.h"
#include "audio/wave_chunks.h"
#include "platform/error_text.h"
#include "platform/text.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr char kNoFormatText[] = "Wrong file format. Can't find fmt section.";
constexpr UINT kErrorHandleEof = 38;            // ERROR_HANDLE_EOF
constexpr UINT kErrorInvalidHandle = 6;         // ERROR_INVALID_HANDLE
constexpr UINT kErrorInsufficientBuffer = 122;  // ERROR_INSUFFICIENT_BUFFER

// The chunk walk's source: an open multimedia file.
class BMmioRiffSource : public BRiffSource {
 public:
  explicit BMmioRiffSource(HMMIO file) : m_file(file) {}

  uint32_t DescendRiff(BChunkInfo& form) override { return Descend(form, MMIO_FINDRIFF); }
  uint32_t DescendNext(BChunkInfo& chunk) override { return Descend(chunk, MMIO_FINDCHUNK); }

  int32_t Read(uint8_t* buffer, uint32_t size) override {
    return mmioRead(m_file, reinterpret_cast<HPSTR>(buffer), static_cast<LONG>(size));
  }

  uint32_t SeekTo(uint32_t offset) override {
    if (mmioSeek(m_file, static_cast<LONG>(offset), SEEK_SET) == -1) return SeekError();
    return 0;
  }

  uint32_t GetFileSize(uint32_t& size) override {
    const LONG here = mmioSeek(m_file, 0, SEEK_CUR);
    const LONG end = here == -1 ? -1 : mmioSeek(m_file, 0, SEEK_END);
    if (end == -1 || mmioSeek(m_file, here, SEEK_SET) == -1) return SeekError();
    size = static_cast<uint32_t>(end);
    return 0;
  }

 private:
  // With a zeroed descriptor the search takes the first chunk it meets.
  uint32_t Descend(BChunkInfo& chunk, UINT flags) {
    MMCKINFO info = {};
    const MMRESULT result = mmioDescend(m_file, &info, nullptr, flags);
    if (result != MMSYSERR_NOERROR) return result;
    chunk.id = info.ckid;
    chunk.size = info.cksize;
    chunk.formType = info.fccType;
    chunk.dataOffset = info.dwDataOffset;
    return 0;
  }

  static uint32_t SeekError() {
    const DWORD code = GetLastError();
    return code != 0 ? code : kRiffCannotSeek;
  }

  HMMIO m_file;
};

WAVEFORMATEX PcmRecord(WORD channels, DWORD rate, WORD bits) {
  WAVEFORMATEX format = {};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = channels;
  format.nSamplesPerSec = rate;
  format.wBitsPerSample = bits;
  format.nBlockAlign = static_cast<WORD>(channels * bits / 8);
  format.nAvgBytesPerSec = rate * format.nBlockAlign;
  return format;
}

// Mixes 16-bit frames of `channels` samples down to unsigned 8-bit mono, in place.
uint32_t MixToEightBitMono(uint8_t* sound, uint32_t bytes, uint32_t channels) {
  const uint32_t frames = bytes / (2 * channels);
  for (uint32_t frame = 0; frame < frames; ++frame) {
    int32_t sum = 0;
    for (uint32_t channel = 0; channel < channels; ++channel) {
      const uint8_t* sample = sound + 2 * (frame * channels + channel);
      sum += static_cast<int16_t>(sample[0] | sample[1] << 8);
    }
    const int32_t mixed = sum / static_cast<int32_t>(channels);
    const int32_t rounded = (mixed + 32768 + 128) >> 8;
    sound[frame] = static_cast<uint8_t>(std::min(rounded, 255));
  }
  return frames;
}

// The largest format record of any installed codec, never less than an
// extensible record, whose subformat decides how it is read.
uint32_t FormatBufferSize() {
  DWORD size = 0;
  if (acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &size) != MMSYSERR_NOERROR) size = 0;
  return std::max<uint32_t>(size, kExtensibleFormatSize);
}

// The I/O procedure of a multimedia file over a BFile, whose address the
// open hands over in the first two words of adwInfo.
LRESULT CALLBACK FileIoProc(LPSTR record, UINT message, LPARAM lParam1, LPARAM lParam2) {
  MMIOINFO* info = reinterpret_cast<MMIOINFO*>(record);
  BFile* file = reinterpret_cast<BFile*>(static_cast<uintptr_t>(info->adwInfo[0]) |
                                         (static_cast<uintptr_t>(info->adwInfo[1]) << 32));
  switch (message) {
    case MMIOM_OPEN:
    case MMIOM_CLOSE:
      return MMSYSERR_NOERROR;  // the file is opened and closed by its owner
    case MMIOM_READ: {
      const long got = file->Read(reinterpret_cast<void*>(lParam1), static_cast<size_t>(lParam2));
      if (got > 0) info->lDiskOffset += got;
      return got;
    }
    case MMIOM_SEEK: {
      unsigned long long size = 0;
      long long target = static_cast<long long>(lParam1);
      if (lParam2 == SEEK_CUR) target += info->lDiskOffset;
      if (lParam2 == SEEK_END) {
        if (!file->GetSize(size)) return -1;
        target += static_cast<long long>(size);
      }
      if (target < 0 || target > 0x7FFFFFFF || !file->Seek(static_cast<unsigned long long>(target)))
        return -1;
      info->lDiskOffset = static_cast<LONG>(target);
      return info->lDiskOffset;
    }
    default:
      return -1;  // nothing is written
  }
}

}  // namespace

BWaveFile::BWaveFile() : m_sourceFormat(sizeof(WAVEFORMATEX), 0) {}

BWaveFile::~BWaveFile() { Close(); }

bool BWaveFile::MmioErrorText(UINT code, std::string& text) {
  // The string ids are the codes themselves, MMIOERR_BASE (256) to 272.
  if (code < IDS_MMIOERR_NOT_RIFF || code > IDS_MMIOERR_INVALID_FILE) return false;
  text = FormatUtf8Text(BText(static_cast<int>(code)));
  return true;
}

void BWaveFile::SetMmioError(UINT code) {
  if (!MmioErrorText(code, m_errorText)) m_errorText = ::GetErrorText(code);
}

void BWaveFile::SetEndOfFile() { m_errorText = ::GetErrorText(kErrorHandleEof); }

bool BWaveFile::Open(const std::string& path) {
  Close();
  m_recognised = false;
  // A missing file is named as the multimedia functions name it; the info
  // record brings back the reason of their failure.
  if (!m_source.OpenReadShared(path)) {
    const DWORD error = GetLastError();
    const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    SetMmioError(missing ? MMIOERR_FILENOTFOUND : error);
    return false;
  }
  MMIOINFO info = {};
  info.pIOProc = FileIoProc;
  const uintptr_t file = reinterpret_cast<uintptr_t>(&m_source);
  info.adwInfo[0] = static_cast<DWORD>(file);
  info.adwInfo[1] = static_cast<DWORD>(static_cast<unsigned long long>(file) >> 32);
  wchar_t name[] = L"sound";  // the procedure reads m_source, whatever the name
  m_file = mmioOpenW(name, &info, MMIO_READ);
  if (!m_file) {
    SetMmioError(info.wErrorRet != 0 ? info.wErrorRet : GetLastError());
    m_source.Close();
    return false;
  }

  // ID3v2 tags in front of the RIFF header (some editors and downloaders
  // write them there) are stepped over, as every other reader does.
  const uint64_t start = SoundStartOfFile(path);
  if (start > 0 && start < 0x7FFFFFFF) mmioSeek(m_file, static_cast<LONG>(start), SEEK_SET);

  m_sourceFormat.assign(FormatBufferSize(), 0);
  BMmioRiffSource source(m_file);
  const BWaveWalk walk =
      WalkWaveChunks(source, m_sourceFormat.data(), static_cast<uint32_t>(m_sourceFormat.size()));
  m_recognised = walk.isWave;
  switch (walk.error) {
    case BWaveWalkError::None:
      break;
    case BWaveWalkError::Source:
      SetMmioError(walk.code);
      break;
    case BWaveWalkError::NoFormatChunk:
    case BWaveWalkError::FormatInvalid:
      m_errorText = kNoFormatText;
      break;
    case BWaveWalkError::FormatTruncated:
      SetEndOfFile();
      break;
  }
  if (walk.error != BWaveWalkError::None) {
    Close();
    return false;
  }
  m_dataSize = walk.dataSize;
  m_dataLeft = walk.dataSize;

  const WAVEFORMATEX* sourceFormat = GetSourceFormat();
  m_sampleFormat = ClassifyWaveFormat(m_sourceFormat.data(), walk.formatSize);
  m_format = BPcmFormat();
  m_format.channels = sourceFormat->nChannels;
  m_format.samplesPerSec = sourceFormat->nSamplesPerSec;
  switch (m_sampleFormat.encoding) {
    case BWaveEncoding::Integer:
      m_format.bitsPerSample = m_sampleFormat.readBits;
      m_format.blockAlign = sourceFormat->nBlockAlign;
      m_format.avgBytesPerSec = sourceFormat->nAvgBytesPerSec;
      return true;
    case BWaveEncoding::Float:
      m_format.bitsPerSample = 16;
      m_format.blockAlign = static_cast<uint16_t>(m_format.channels * 2);
      m_format.avgBytesPerSec = m_format.samplesPerSec * m_format.blockAlign;
      return true;
    case BWaveEncoding::Converter:
      break;
  }
  return OpenConverter();
}

// Any other wave format becomes 8-bit mono PCM at the file's rate. A failure
// leaves the file open, as the caller may still want its source format.
bool BWaveFile::OpenConverter() {
  m_format = BPcmFormat();
  m_format.bitsPerSample = 8;
  m_format.channels = 1;
  m_format.samplesPerSec = GetSourceFormat()->nSamplesPerSec;
  m_format.blockAlign = 1;
  m_format.avgBytesPerSec = m_format.samplesPerSec;

  m_encoder.reset(new BACMEncoder());
  const WAVEFORMATEX output = PcmRecord(1, m_format.samplesPerSec, 8);
  if (m_encoder->Open(GetSourceFormat(), &output)) return true;
  // The system has no converter for this format: the text names it.
  if (m_encoder->GetResult() == ACMERR_NOTPOSSIBLE)
    m_errorText = FormatUtf8Text(BText(IDS_WAVE_FORMAT_UNSUPPORTED,
                                       {m_sampleFormat.formatTag, m_sampleFormat.bitsPerSample}));
  else
    m_errorText = m_encoder->GetErrorText();

  // Many codecs decode only to 16-bit PCM with the source's channels; the
  // reader then mixes down and narrows to 8 bits itself.
  const WAVEFORMATEX decoded = PcmRecord(GetSourceFormat()->nChannels, m_format.samplesPerSec, 16);
  if (!m_encoder->Open(GetSourceFormat(), &decoded)) return false;
  m_decodedFrameSize = decoded.nBlockAlign;
  return true;
}

void BWaveFile::Close() {
  if (m_file) {
    mmioClose(m_file, 0);
    m_file = nullptr;
  }
  m_source.Close();
  m_dataSize = 0;
  m_dataLeft = 0;
  m_decodedFrameSize = 0;
  m_encoder.reset();
}

int32_t BWaveFile::GetLength() {
  if (!m_file) {
    m_errorText = ::GetErrorText(kErrorInvalidHandle);
    return -1;
  }
  const double milliseconds =
      static_cast<double>(m_dataSize) * 1000.0 / GetSourceFormat()->nAvgBytesPerSec;
  return static_cast<int32_t>(std::min(milliseconds, static_cast<double>(INT32_MAX)));
}

bool BWaveFile::Read(uint8_t* buffer, uint32_t size, int32_t& count) {
  count = -1;
  if (!m_file) {
    m_errorText = ::GetErrorText(kErrorInvalidHandle);
    return false;
  }
  const WAVEFORMATEX* sourceFormat = GetSourceFormat();
  uint32_t sourceBytes =
      WaveReadSize(size, sourceFormat->nAvgBytesPerSec, sourceFormat->nBlockAlign, m_dataLeft);
  if (m_dataLeft == 0) {
    SetEndOfFile();
    count = 0;
    return false;
  }
  if (m_encoder) return ReadConverted(buffer, size, sourceBytes, count);
  if (m_sampleFormat.encoding == BWaveEncoding::Float) return ReadFloat(buffer, size, count);

  LONG got = 0;
  if (!ReadData(buffer, sourceBytes, got, count)) return false;
  count = got;
  return true;
}

bool BWaveFile::ReadData(void* target, uint32_t bytes, LONG& got, int32_t& count) {
  got = mmioRead(m_file, reinterpret_cast<HPSTR>(target), static_cast<LONG>(bytes));
  if (got == -1) {
    m_errorText = ::GetErrorText(GetLastError());
    return false;
  }
  if (got == 0 && bytes != 0) {
    SetEndOfFile();
    count = 0;
    return false;
  }
  m_dataLeft -= static_cast<uint32_t>(got);
  return true;
}

// Reads source bytes whose conversion fits the caller's buffer and converts them.
bool BWaveFile::ReadConverted(uint8_t* buffer, uint32_t size, uint32_t sourceBytes,
                              int32_t& count) {
  const uint32_t block = std::max<uint32_t>(GetSourceFormat()->nBlockAlign, 1);
  // Less than one block converts to nothing: the sound ends there.
  if (m_dataLeft < block) {
    m_dataLeft = 0;
    SetEndOfFile();
    count = 0;
    return false;
  }
  // The caller's buffer holds the 8-bit mono result; a 16-bit decoding is larger.
  const uint32_t shrink = m_decodedFrameSize != 0 ? m_decodedFrameSize : 1;
  int32_t destinationSize = m_encoder->GetDestSize(sourceBytes);
  while (destinationSize > 0 && static_cast<uint32_t>(destinationSize) / shrink > size &&
         sourceBytes > block) {
    const uint64_t scaled =
        static_cast<uint64_t>(sourceBytes) * size * shrink / static_cast<uint32_t>(destinationSize);
    sourceBytes = std::max<uint32_t>(block, static_cast<uint32_t>(scaled - scaled % block));
    destinationSize = m_encoder->GetDestSize(sourceBytes);
  }
  if (destinationSize < 0 || static_cast<uint32_t>(destinationSize) / shrink > size) {
    m_errorText = destinationSize < 0 ? m_encoder->GetErrorText()
                                      : BACMEncoder::ResultText(ACMERR_NOTPOSSIBLE);
    return false;
  }

  std::vector<uint8_t> source(sourceBytes);
  LONG got = 0;
  if (!ReadData(source.data(), sourceBytes, got, count)) return false;

  std::vector<uint8_t> converted(std::max<int32_t>(destinationSize, 1));
  uint32_t produced = static_cast<uint32_t>(converted.size());
  if (!m_encoder->Convert(source.data(), static_cast<uint32_t>(got), converted.data(), produced)) {
    m_errorText = m_encoder->GetErrorText();
    return false;
  }
  if (m_decodedFrameSize != 0)
    produced = MixToEightBitMono(converted.data(), produced, m_decodedFrameSize / 2);
  produced = std::min(produced, size);
  std::memcpy(buffer, converted.data(), produced);
  count = static_cast<int32_t>(produced);
  return true;
}

// Reads whole float samples whose 16-bit form fits the caller's buffer and
// converts them there.
bool BWaveFile::ReadFloat(uint8_t* buffer, uint32_t size, int32_t& count) {
  const uint32_t sampleBytes = m_sampleFormat.bitsPerSample / 8u;
  // A partial sample at the end of the data is no sound.
  if (m_dataLeft < sampleBytes) {
    m_dataLeft = 0;
    SetEndOfFile();
    count = 0;
    return false;
  }
  const WAVEFORMATEX* sourceFormat = GetSourceFormat();
  uint32_t sourceBytes = WaveReadSize(size / 2 * sampleBytes, sourceFormat->nAvgBytesPerSec,
                                      sourceFormat->nBlockAlign, m_dataLeft);
  sourceBytes -= sourceBytes % sampleBytes;
  if (sourceBytes == 0) {
    m_errorText = ::GetErrorText(kErrorInsufficientBuffer);
    return false;
  }
  m_floatSamples.resize(sourceBytes);
  LONG got = 0;
  if (!ReadData(m_floatSamples.data(), sourceBytes, got, count)) return false;
  const uint32_t samples = static_cast<uint32_t>(got) / sampleBytes;
  FloatToSixteenBit(m_floatSamples.data(), samples, m_sampleFormat.bitsPerSample, buffer);
  count = static_cast<int32_t>(samples * 2);
  return true;
}
