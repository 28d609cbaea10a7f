// A sound file read as linear PCM, in chunks, on demand. Two readers stand
// behind this interface: BWaveFile (RIFF WAVE) and BMP3File (MPEG audio).
#pragma once

#include <cstdint>
#include <string>

// The PCM format a reader delivers: the fields of a wave format record that
// the conversion uses.
struct BPcmFormat {
  uint16_t formatTag = 1;  // always PCM
  uint16_t channels = 0;
  uint32_t samplesPerSec = 0;
  uint32_t avgBytesPerSec = 0;
  uint16_t blockAlign = 0;
  uint16_t bitsPerSample = 0;
};

// Samples (per channel, at the file's rate) that decoding puts before and
// after the sound itself: an MP3 encoder's delay and padding and the
// decoder's own delay.
struct BSoundTrim {
  uint32_t start = 0;
  uint32_t end = 0;
  // Up to this many more samples after `start`, cut only while they are
  // near-silent: an encoder's delay that the file does not state.
  uint32_t quietStart = 0;
};

class BAudioFile {
 public:
  virtual ~BAudioFile() = default;

  // Opens the file (a UTF-8 path). On false the error
  // text says why.
  virtual bool Open(const std::string& path) = 0;
  // Releases the file and whatever Open acquired; harmless when closed.
  virtual void Close() = 0;
  virtual const std::string& GetErrorText() const { return m_errorText; }
  // Length of the sound in milliseconds; -1 when no file is open.
  virtual int32_t GetLength() = 0;
  // Fills `buffer` (capacity `size`) with the next PCM bytes in the output
  // format. true with a count: data (the count may be 0); false with 0: the
  // end of the sound; false with -1: a failure, the error text says why.
  virtual bool Read(uint8_t* buffer, uint32_t size, int32_t& count) = 0;

  // What to cut from the decoded sound; known once Read has reached the end
  // (an MP3 file tells it in the tag of its first frame).
  virtual BSoundTrim GetTrim() const { return {}; }

  // The format Read delivers, valid after a successful Open.
  const BPcmFormat& GetFormat() const { return m_format; }
  // Whether the last Open found a file of this reader's kind, even one it then
  // refused: its error text is then the reason that counts.
  bool IsRecognised() const { return m_recognised; }

 protected:
  BPcmFormat m_format;
  std::string m_errorText;
  bool m_recognised = false;
};
