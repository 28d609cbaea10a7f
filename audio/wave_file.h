// The reader of RIFF WAVE files: linear PCM of any width as it is (also in
// an extensible record), IEEE float of 32 and 64 bits as 16-bit PCM, every
// other wave format through the audio compression manager, converted to
// 8-bit mono PCM at the file's own rate (audio/wave_sample_format.h decides
// which; the chunk walk is audio/wave_chunks.h). The user-interface thread
// calls it; it owns its file and its converter.
//
// How it treats files that are not quite right:
//   - The "fmt " chunk must be the first chunk of the RIFF form ("Wrong file
//     format. Can't find fmt section." otherwise; a RIFF file of another kind,
//     such as a video, fails there too). A format record that cannot describe
//     sound (shorter than 16 bytes, no channels, no block size or no byte
//     rate) is refused with the same text.
//   - A "fmt " chunk longer than the format buffer (the largest format any
//     installed codec uses, at least 18 bytes) is kept up to the buffer's size
//     and the rest skipped; its count of extra bytes is cut to what was kept.
//   - A file that ends inside the "fmt " chunk is refused with the system's
//     end-of-file text.
//   - Chunks between "fmt " and "data" are skipped by their declared size
//     from the start of their data, which also steps correctly over LIST
//     chunks, and the pad byte behind an odd-sized chunk. A chunk reaching
//     past the end of the file ends the search with "Chunk not found".
//   - Reading stops at the end of the "data" chunk, so chunks behind it are
//     never heard as noise; a data chunk that claims more than the file holds
//     ends at the file's end, and GetLength counts only the bytes there.
//   - One Read takes at most one second of source and, where a whole block
//     fits, only whole blocks, so that a compressed block is never split
//     between two conversions (its tail would be lost). With a converter the
//     source taken is reduced until its converted size fits the caller's
//     buffer.
//   - Where the system's codec cannot give 8-bit mono directly (A-law, mu-law,
//     stereo ADPCM under some systems), the reader asks it for 16-bit PCM
//     with the file's channels and mixes down to 8-bit mono itself. Only when
//     both fail is the file refused, with the text of the first attempt; when
//     that says the system has no converter for the format, the text names
//     the format tag (for an extensible record its subformat's) and width.
//   - A file whose RIFF form is "WAVE" counts as recognised (IsRecognised)
//     even when it is refused, so that the import shows this reader's reason
//     and not the MP3 reader's.
//   - A failed open reports the reason the file I/O itself gives ("File not
//     found." and the rest of the multimedia table).
//   - Close closes the file itself: the flag that keeps a handle open for a
//     caller that passed one in would leave this reader's file open.
//   - A system code that the multimedia table has no text for gives the
//     system's own text, so a failed Open always says something.
#pragma once

#include "audio/acm_encoder.h"
#include "audio/audio_file.h"
#include "audio/wave_sample_format.h"
#include "platform/file.h"

#include <windows.h>
#include <mmsystem.h>

#include <memory>
#include <vector>

class BWaveFile : public BAudioFile {
 public:
  BWaveFile();
  ~BWaveFile() override;
  BWaveFile(const BWaveFile&) = delete;
  BWaveFile& operator=(const BWaveFile&) = delete;

  bool Open(const std::string& path) override;
  void Close() override;
  int32_t GetLength() override;
  bool Read(uint8_t* buffer, uint32_t size, int32_t& count) override;

  // The file's own format record, as found in the file.
  const WAVEFORMATEX* GetSourceFormat() const {
    return reinterpret_cast<const WAVEFORMATEX*>(m_sourceFormat.data());
  }
  // Whether the sound goes through the audio compression manager.
  bool IsConverted() const { return m_encoder != nullptr; }

  // The text for a multimedia file I/O code; false when the table has none.
  static bool MmioErrorText(UINT code, std::string& text);

 private:
  void SetMmioError(UINT code);
  bool OpenConverter();
  bool ReadConverted(uint8_t* buffer, uint32_t size, uint32_t sourceBytes, int32_t& count);
  bool ReadFloat(uint8_t* buffer, uint32_t size, int32_t& count);
  // Reads up to `bytes` of the data chunk into `target` (`got` of them). False
  // with the error text on a failure, or with count 0 and the end-of-file
  // state when nothing is left.
  bool ReadData(void* target, uint32_t bytes, LONG& got, int32_t& count);
  void SetEndOfFile();

  // The multimedia file reads through the program's own file (a name in any
  // script; the system's own open narrows it to the ANSI code page).
  BFile m_source;
  HMMIO m_file = nullptr;
  std::vector<uint8_t> m_sourceFormat;  // zero-filled behind the record read
  uint32_t m_dataSize = 0;              // sound bytes of the data chunk present in the file
  uint32_t m_dataLeft = 0;              // of them, not yet read
  std::unique_ptr<BACMEncoder> m_encoder;
  uint32_t m_decodedFrameSize = 0;      // when the converter gives 16-bit PCM: its frame size
  BWaveSampleFormat m_sampleFormat;     // how the samples are taken
  std::vector<uint8_t> m_floatSamples;  // one read of float samples before their conversion
};
