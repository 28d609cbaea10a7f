// The chunk walk of a RIFF WAVE file: where the format record and the sound
// data are, decided over an abstract RIFF source. BWaveFile runs it over
// multimedia file I/O; the unit tests run it over bytes in memory that follow
// the same rules, which lets them fuzz every decision without Windows.
//
// The walk:
//   - enters the RIFF form at the start of the file (any form type);
//   - chunks in front of "fmt " (bext, JUNK, LIST) are skipped by their size
//     as those in front of "data" are; a "data" chunk in front of it, or a
//     chunk that reaches the file's end, means there is no format;
//   - the first `capacity` bytes of "fmt " go into the caller's format
//     buffer and any longer tail is skipped, so a long extensible format
//     never writes past the buffer;
//   - a format record shorter than 16 bytes, or with no channels, no block
//     size or no byte rate, is refused like a missing one (it cannot be read
//     and would divide by zero later); a size of extra bytes (cbSize) that
//     claims more than was kept is cut down to what was kept;
//   - the chunks after it are skipped by their declared size, measured from
//     the start of their data (for a LIST chunk the source has already
//     consumed the list type, so a skip from the current position would land
//     four bytes late), until the "data" chunk; an odd-sized chunk, the
//     format chunk too, is followed by its pad byte, which is skipped unless
//     it is not zero and begins four printable characters (then it is the
//     next chunk's id, from a writer that left the pad out);
//   - the data chunk ends at its declared size or at the end of the file,
//     whichever comes first, so that trailing chunks are never heard as sound
//     and an absurd size cannot promise bytes that are not there; a declared
//     size of 0 (a recording stopped before its header was completed) runs
//     to the end of the file.
// Every step moves forward by at least a chunk header, so the walk always
// ends, whatever the bytes.
#pragma once

#include <cstdint>

constexpr uint32_t MakeFourCC(char a, char b, char c, char d) {
  return static_cast<uint32_t>(static_cast<uint8_t>(a)) |
         static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}

constexpr uint32_t kRiffId = MakeFourCC('R', 'I', 'F', 'F');
constexpr uint32_t kListId = MakeFourCC('L', 'I', 'S', 'T');
constexpr uint32_t kFormatId = MakeFourCC('f', 'm', 't', ' ');
constexpr uint32_t kDataId = MakeFourCC('d', 'a', 't', 'a');
constexpr uint32_t kWaveId = MakeFourCC('W', 'A', 'V', 'E');

// Result codes of the RIFF source, the values of multimedia file I/O.
constexpr uint32_t kRiffChunkNotFound = 265;  // MMIOERR_CHUNKNOTFOUND
constexpr uint32_t kRiffCannotSeek = 263;     // MMIOERR_CANNOTSEEK

// The smallest format record the walk accepts (PCMWAVEFORMAT), and the size
// of the record with its count of extra bytes (WAVEFORMATEX).
constexpr uint32_t kMinFormatSize = 16;
constexpr uint32_t kFormatExSize = 18;

// A chunk header as the source found it.
struct BChunkInfo {
  uint32_t id = 0;
  uint32_t size = 0;        // declared size of the chunk's data
  uint32_t formType = 0;    // RIFF and LIST chunks: the form or list type
  uint32_t dataOffset = 0;  // file offset of the data (for RIFF and LIST: of the type)
};

// A RIFF file read chunk by chunk, with the rules of multimedia file I/O.
class BRiffSource {
 public:
  virtual ~BRiffSource() = default;
  // Finds the RIFF form from the current position and enters it: 0 or an
  // error code.
  virtual uint32_t DescendRiff(BChunkInfo& form) = 0;
  // Enters the next chunk from the current position, whatever its id; the
  // position is then at its data (behind the type for RIFF and LIST).
  virtual uint32_t DescendNext(BChunkInfo& chunk) = 0;
  // Reads up to `size` bytes: the count read, 0 at the end, -1 on failure.
  virtual int32_t Read(uint8_t* buffer, uint32_t size) = 0;
  // Moves to an absolute file offset: 0 or an error code.
  virtual uint32_t SeekTo(uint32_t offset) = 0;
  // The size of the whole file: 0 or an error code.
  virtual uint32_t GetFileSize(uint32_t& size) = 0;
};

enum class BWaveWalkError {
  None,
  Source,           // the source failed; `code` holds its result code
  NoFormatChunk,    // no "fmt " chunk in front of the data
  FormatTruncated,  // the file ends inside the "fmt " chunk
  FormatInvalid,    // the format record cannot describe any sound
};

struct BWaveWalk {
  BWaveWalkError error = BWaveWalkError::None;
  uint32_t code = 0;              // source result code when error is Source
  bool isWave = false;            // the RIFF form is "WAVE", whatever came after
  uint32_t formatSize = 0;        // bytes of the format record kept in the buffer
  uint32_t dataOffset = 0;        // file offset of the first sound byte
  uint32_t declaredDataSize = 0;  // the data chunk's own size field
  uint32_t dataSize = 0;          // sound bytes really there: declared, cut at the file's end
};

// Runs the walk. `format` (capacity bytes, at least kFormatExSize) receives
// the format record, zero-filled behind it. On success the source stands at
// the first sound byte.
BWaveWalk WalkWaveChunks(BRiffSource& source, uint8_t* format, uint32_t capacity);

// The format fields the walk and the reader look at, from a raw record.
struct BWaveFormatFields {
  uint16_t formatTag = 0;
  uint16_t channels = 0;
  uint32_t samplesPerSec = 0;
  uint32_t avgBytesPerSec = 0;
  uint16_t blockAlign = 0;
  uint16_t bitsPerSample = 0;
};
BWaveFormatFields ParseWaveFormat(const uint8_t* format);

// How many source bytes one read takes: at most the buffer, one second of
// source and what is left of the data chunk, in whole blocks when at least
// one whole block fits (a partial block at the very end is taken as it is).
uint32_t WaveReadSize(uint32_t bufferSize, uint32_t avgBytesPerSec, uint32_t blockAlign,
                      uint32_t dataLeft);
