#include "audio/mp3_file.h"

#include <algorithm>

#include "audio/audio_string_ids.h"
#include "audio/sound_file_kind.h"
#include "platform/error_text.h"
#include "platform/text.h"

namespace {

// The system's text for a code (the member GetErrorText hides the free one).
std::string SystemText(unsigned long code) { return ::GetErrorText(code); }

// The file read through a buffer: the scan takes one byte at a time, and
// asking the system for each would make garbage before the first frame slow.
// A refill starts a little before the byte asked for, so that the scan's
// short steps back (to go on searching behind a header it did not take) stay
// in the buffer.
class BMp3FileSource : public BMp3ByteSource {
 public:
  explicit BMp3FileSource(BFile& file) : m_file(file), m_buffer(64 * 1024) {}

  ReadResult ReadByte(uint8_t& byte) override {
    if ((m_position < m_bufferStart || m_position >= m_bufferStart + m_filled) && !Fill())
      return m_failed ? ReadResult::Failure : ReadResult::End;
    byte = m_buffer[static_cast<std::size_t>(m_position - m_bufferStart)];
    ++m_position;
    return ReadResult::Byte;
  }

  bool Seek(uint64_t offset) override {
    m_position = offset;
    return true;
  }

  uint64_t Position() const override { return m_position; }

  bool GetSize(uint64_t& size) override {
    unsigned long long bytes = 0;
    if (!m_file.GetSize(bytes)) return Fail();
    size = bytes;
    return true;
  }

  unsigned long Error() const { return m_error; }

 private:
  static constexpr uint64_t kBackReach = 4096;

  bool Fail() {
    m_error = GetLastSystemError();
    m_failed = true;
    return false;
  }

  // Fills the buffer around the position; false at the end or on failure.
  bool Fill() {
    const uint64_t from = m_position > kBackReach ? m_position - kBackReach : 0;
    m_bufferStart = from;
    m_filled = 0;
    if (!m_file.Seek(from)) return Fail();
    while (m_filled < m_buffer.size()) {
      const long got = m_file.Read(m_buffer.data() + m_filled, m_buffer.size() - m_filled);
      if (got < 0) return Fail();
      if (got == 0) break;
      m_filled += static_cast<std::size_t>(got);
    }
    return m_position < m_bufferStart + m_filled;
  }

  BFile& m_file;
  std::vector<uint8_t> m_buffer;
  uint64_t m_bufferStart = 0;
  std::size_t m_filled = 0;
  uint64_t m_position = 0;
  bool m_failed = false;
  unsigned long m_error = 0;
};

}  // namespace

BMP3File::~BMP3File() { Close(); }

bool BMP3File::Open(const std::string& path) {
  Close();
  m_format = BPcmFormat();
  // A file of another known kind is never searched for frames: sync
  // patterns in its bytes would be taken for sound.
  const BSoundKind kind = DetectSoundKindOfFile(path);
  if (kind != BSoundKind::Unknown && kind != BSoundKind::Mpeg) {
    m_errorText = SoundKindText(IDS_KIND_EXPECTED, BSoundKind::Mpeg);
    return false;
  }
  if (!m_decoder.Init()) return FailOpen(OutOfMemorySystemError());
  if (!m_file.OpenRead(path)) return FailOpen(GetLastSystemError());

  BMp3FileSource source(m_file);
  if (ScanMp3Frames(source, m_frames) == BMp3ScanOutcome::ReadFailure)
    return FailOpen(source.Error());
  if (m_frames.empty()) {
    m_errorText = FormatUtf8Text(BText(IDS_NO_MPEG_FRAME));
    Close();
    return false;
  }
  SetFormatFrom(m_frames.front());
  m_nextFrame = 0;
  return true;
}

bool BMP3File::FailOpen(unsigned long systemError) {
  m_errorText = SystemText(systemError);
  Close();
  return false;
}

void BMP3File::SetFormatFrom(const BMp3FrameRecord& first) {
  m_format.channels = first.channelMode == kMp3SingleChannel ? 1 : 2;
  m_format.bitsPerSample = 16;
  m_format.samplesPerSec = first.sampleRate;
  m_format.blockAlign = static_cast<uint16_t>(m_format.channels * 2);
  m_format.avgBytesPerSec = m_format.blockAlign * first.sampleRate;
}

void BMP3File::Close() {
  m_file.Close();
  m_frames.clear();
  m_nextFrame = 0;
  m_decoder.Release();
}

int32_t BMP3File::GetLength() {
  if (!m_file.IsOpen()) {
    m_errorText = SystemText(InvalidHandleSystemError());
    return -1;
  }
  return Mp3SoundLength(m_frames);
}

BSoundTrim BMP3File::GetTrim() const {
  const int delay = m_decoder.GetEncoderDelay(), padding = m_decoder.GetEncoderPadding();
  BSoundTrim trim;
  trim.start = kDecoderDelay + static_cast<uint32_t>(std::max(delay, 0));
  // Without the tag (no room for it in the frames of voice-rate files) the
  // usual encoder delay goes where it is silent, so no sound is ever cut.
  if (delay < 0) trim.quietStart = kUsualEncoderDelay;
  trim.end = padding > static_cast<int>(kDecoderDelay) ? padding - kDecoderDelay : 0;
  return trim;
}

bool BMP3File::ReadFrame(const BMp3FrameRecord& frame, std::vector<uint8_t>& work) {
  if (work.size() < frame.size) work.resize(frame.size);
  if (!m_file.Seek(frame.offset)) {
    m_errorText = SystemText(GetLastSystemError());
    return false;
  }
  uint32_t done = 0;
  while (done < frame.size) {
    long got = m_file.Read(work.data() + done, frame.size - done);
    if (got < 0) {
      m_errorText = SystemText(GetLastSystemError());
      return false;
    }
    if (got == 0) {
      // The file is shorter than its last frame, or it shrank.
      m_errorText = SystemText(EndOfFileSystemError());
      return false;
    }
    done += static_cast<uint32_t>(got);
  }
  return true;
}

bool BMP3File::Read(uint8_t* buffer, uint32_t size, int32_t& count) {
  count = -1;
  if (!m_file.IsOpen()) {
    m_errorText = SystemText(InvalidHandleSystemError());
    return false;
  }
  count = 0;
  uint32_t produced = 0;
  if (static_cast<std::size_t>(m_nextFrame) >= m_frames.size()) {
    if (m_decoder.TakeHeldFrame(m_format.channels, buffer, size, produced)) {
      count = static_cast<int32_t>(produced);
      return true;
    }
    m_errorText = SystemText(EndOfFileSystemError());
    return false;
  }

  // Grows to the largest frame of this call and goes with it.
  std::vector<uint8_t> work;
  while (static_cast<std::size_t>(m_nextFrame) < m_frames.size()) {
    // A frame the decoder kept back comes out before the next one goes in.
    if (m_decoder.TakeHeldFrame(m_format.channels, buffer, size, produced)) {
      count = static_cast<int32_t>(produced);
      return true;
    }
    const BMp3FrameRecord& frame = m_frames[m_nextFrame];
    if (!ReadFrame(frame, work)) {
      count = -1;
      return false;
    }
    ++m_nextFrame;
    BMp3Decoder::Result result =
        m_decoder.DecodeFrame(work.data(), frame.size, m_format.channels, buffer, size, produced);
    if (result == BMp3Decoder::Result::Ok) {
      count = static_cast<int32_t>(produced);
      break;
    }
    if (result == BMp3Decoder::Result::Error) break;
    // NeedMore: feed the next frame.
  }
  return true;
}
