// BAudioSource: one sound file brought into the siren's sample format
// (signed 8-bit mono at a given rate). It tries its readers in order on the
// file, decodes the sound in chunks, mixes and narrows it, and resamples it,
// by the standard conversion or the high-quality one (see BConversion).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "audio/audio_file.h"
#include "platform/text.h"

// Makes one fresh reader; the source tries them in order until one opens.
using BAudioReaderMaker = std::function<std::unique_ptr<BAudioFile>()>;

// The readers the program tries on every file, in order, whatever its name:
// WAVE, FLAC, Ogg Vorbis, Opus, the system's decoder (MPEG-4 and Windows
// Media audio) and MPEG audio last (the portable build has neither the WAVE
// reader nor the system's decoder).
std::vector<BAudioReaderMaker> ProgramAudioReaders();

// How sound reaches the siren's format.
enum class BConversion {
  // Each sample's top byte, then Lagrange interpolation (BResampler): the
  // program's documented conversion, byte for byte.
  Standard,
  // Full precision down to the last step: band-limited resampling (libsoxr),
  // triangular dither, and an MP3 file without its encoder's delay and padding.
  HighQuality,
};

class BAudioSource {
 public:
  // With the program's readers (ProgramAudioReaders).
  BAudioSource();
  // `readerMakers`: the readers to try on a file, in order.
  explicit BAudioSource(std::vector<BAudioReaderMaker> readerMakers);
  virtual ~BAudioSource();
  BAudioSource(const BAudioSource&) = delete;
  BAudioSource& operator=(const BAudioSource&) = delete;

  // Opens the path with the first reader that accepts it, whatever the file's
  // name. When none does, the error text is that of the first reader that
  // recognised the file as its kind (a RIFF WAVE file for the WAVE reader);
  // when none did, it names the file's kind if that is known (AIFF, say), or
  // else it is the last reader's.
  virtual bool Open(const std::string& path);
  // Closes and releases the reader and frees both buffers.
  virtual void Close();
  // Length of the sound in milliseconds, or -1 (with the error text) when no
  // file is open.
  virtual int32_t GetLength();
  // Decodes the sound until it has passed `maxMilliseconds` (so up to one
  // chunk of 1.5 s more), converts it to signed 8-bit mono and resamples it to
  // `targetRate`, appending the result to the output.
  virtual bool Convert(uint32_t targetRate, uint32_t maxMilliseconds);
  // The converted sound; the buffer stays owned by the source.
  virtual const uint8_t* GetData(uint32_t& length) const;
  virtual const std::string& GetErrorText() const;

  // What the user should be told about the last Convert, for the status log:
  // stereo whose channels cancel (the louder channel was taken alone), a
  // sound that stays within one step of silence.
  const std::vector<BText>& GetNotes() const { return m_notes; }

  // The conversion the next Convert uses (standard unless set).
  void SetConversion(BConversion conversion) { m_conversion = conversion; }
  BConversion GetConversion() const { return m_conversion; }

 private:
  bool CheckFormat(const BPcmFormat& format);
  // After a first read of stereo sound whose mean is far quieter than its
  // louder channel (one channel inverted): the reader opened afresh and told
  // to read that channel alone; false when it cannot be opened again.
  bool ChannelsCancel(uint32_t rate) const;
  bool ReopenForChannel(uint16_t channel);
  // `reachedEnd`: the sound was read to its end, not stopped at the limit.
  bool DecodeChunks(const BPcmFormat& format, uint32_t maxMilliseconds, bool& reachedEnd);
  size_t DecodedCount() const;
  bool AppendOutput(size_t decodedStart, uint32_t sourceRate, uint32_t targetRate);
  bool AppendHighQualityOutput(size_t decodedStart, uint32_t sourceRate, uint32_t targetRate,
                               bool reachedEnd);

  std::vector<BAudioReaderMaker> m_readerMakers;
  std::unique_ptr<BAudioFile> m_reader;  // the open reader, or null
  std::string m_path;                    // the open file
  size_t m_readerIndex = 0;              // which maker made the open reader
  int m_channel = -1;                    // the one channel read, or -1: all mixed
  double m_channelPower[2] = {};         // of the first two channels, read so far
  double m_mixPower = 0.0;               // of their mean
  std::vector<BText> m_notes;
  BConversion m_conversion = BConversion::Standard;
  std::vector<uint8_t> m_decoded;  // standard: 8-bit mono at the file's rate
  std::vector<float> m_precise;    // high quality: mono fractions of full scale
  std::vector<uint8_t> m_output;   // signed 8-bit mono at the target rate
  std::string m_errorText;
};
