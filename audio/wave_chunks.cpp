// The chunk walk of a RIFF WAVE file over an abstract RIFF source.
#include "audio/wave_chunks.h"

#include <algorithm>
#include <cstring>

namespace {

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void Put16(uint8_t* p, uint16_t value) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
}

// The end of a chunk's data, in 64 bits: a declared size may reach past 4 GB.
uint64_t ChunkEnd(const BChunkInfo& chunk) {
  return static_cast<uint64_t>(chunk.dataOffset) + chunk.size;
}

BWaveWalk SourceFailure(uint32_t code, bool isWave = false) {
  BWaveWalk walk;
  walk.error = BWaveWalkError::Source;
  walk.code = code;
  walk.isWave = isWave;
  return walk;
}

BWaveWalk Refusal(BWaveWalkError error, bool isWave = false) {
  BWaveWalk walk;
  walk.error = error;
  walk.isWave = isWave;
  return walk;
}

// Reads the "fmt " chunk into the buffer, skipping what does not fit.
BWaveWalk ReadFormatChunk(BRiffSource& source, const BChunkInfo& chunk, uint8_t* format,
                          uint32_t capacity) {
  const uint32_t kept = std::min(chunk.size, capacity);
  if (kept > 0 && source.Read(format, kept) != static_cast<int32_t>(kept))
    return Refusal(BWaveWalkError::FormatTruncated);
  if (kept < chunk.size) {
    if (ChunkEnd(chunk) > UINT32_MAX) return Refusal(BWaveWalkError::FormatTruncated);
    if (uint32_t code = source.SeekTo(static_cast<uint32_t>(ChunkEnd(chunk))))
      return SourceFailure(code);
  }
  BWaveWalk walk;
  walk.formatSize = kept;
  return walk;
}

bool Printable(uint8_t byte) { return byte >= 0x20 && byte <= 0x7E; }

// Where the chunk after one that ends at `end` starts. An odd-sized chunk is
// followed by a pad byte, which is zero; a non-zero byte there that begins
// four printable characters is instead the id of the next chunk, written by
// a program that left the pad out, and is taken as such.
uint32_t SkipPadByte(BRiffSource& source, const BChunkInfo& chunk, uint32_t& next) {
  next = static_cast<uint32_t>(ChunkEnd(chunk));
  if (chunk.size % 2 == 0) return 0;
  uint8_t id[4] = {};
  if (uint32_t code = source.SeekTo(next)) return code;
  const int32_t got = source.Read(id, sizeof id);
  const bool unpadded = got == static_cast<int32_t>(sizeof id) && id[0] != 0 && Printable(id[0]) &&
                        Printable(id[1]) && Printable(id[2]) && Printable(id[3]);
  if (!unpadded) ++next;
  return 0;
}

bool FormatUsable(const uint8_t* format, uint32_t size) {
  if (size < kMinFormatSize) return false;
  const BWaveFormatFields fields = ParseWaveFormat(format);
  return fields.channels != 0 && fields.blockAlign != 0 && fields.avgBytesPerSec != 0;
}

// The converter reads cbSize extra bytes behind the record: never more than were kept.
void FitExtraSize(uint8_t* format, uint32_t size) {
  if (size < kFormatExSize) return;  // the buffer is zero there: no extra bytes
  const uint16_t available =
      static_cast<uint16_t>(std::min<uint32_t>(size - kFormatExSize, 0xFFFF));
  if (Get16(format + 16) > available) Put16(format + 16, available);
}

}  // namespace

BWaveFormatFields ParseWaveFormat(const uint8_t* format) {
  BWaveFormatFields fields;
  fields.formatTag = Get16(format);
  fields.channels = Get16(format + 2);
  fields.samplesPerSec = Get32(format + 4);
  fields.avgBytesPerSec = Get32(format + 8);
  fields.blockAlign = Get16(format + 12);
  fields.bitsPerSample = Get16(format + 14);
  return fields;
}

BWaveWalk WalkWaveChunks(BRiffSource& source, uint8_t* format, uint32_t capacity) {
  std::memset(format, 0, capacity);

  BChunkInfo form;
  if (uint32_t code = source.DescendRiff(form)) return SourceFailure(code);
  const bool isWave = form.formType == kWaveId;

  uint32_t fileSize = 0;
  if (uint32_t code = source.GetFileSize(fileSize)) return SourceFailure(code, isWave);

  // Chunks in front of the format (bext, JUNK, LIST of recorders and editors)
  // are skipped like those in front of the data.
  BChunkInfo chunk;
  uint32_t next = 0;
  for (;;) {
    chunk = BChunkInfo();
    if (uint32_t code = source.DescendNext(chunk)) return SourceFailure(code, isWave);
    if (chunk.id == kFormatId) break;
    if (chunk.id == kDataId || ChunkEnd(chunk) >= fileSize)
      return Refusal(BWaveWalkError::NoFormatChunk, isWave);
    if (uint32_t code = SkipPadByte(source, chunk, next)) return SourceFailure(code, isWave);
    if (uint32_t code = source.SeekTo(next)) return SourceFailure(code, isWave);
  }

  BWaveWalk walk = ReadFormatChunk(source, chunk, format, capacity);
  walk.isWave = isWave;
  if (walk.error != BWaveWalkError::None) return walk;
  if (!FormatUsable(format, walk.formatSize)) return Refusal(BWaveWalkError::FormatInvalid, isWave);
  FitExtraSize(format, walk.formatSize);

  if (uint32_t code = SkipPadByte(source, chunk, next)) return SourceFailure(code, isWave);
  for (;;) {
    if (uint32_t code = source.SeekTo(next)) return SourceFailure(code, isWave);
    chunk = BChunkInfo();
    if (uint32_t code = source.DescendNext(chunk)) return SourceFailure(code, isWave);
    if (chunk.id == kDataId) break;
    // A chunk that ends past the file cannot be followed by the data chunk.
    if (ChunkEnd(chunk) >= fileSize) return SourceFailure(kRiffChunkNotFound, isWave);
    if (uint32_t code = SkipPadByte(source, chunk, next)) return SourceFailure(code, isWave);
  }

  walk.dataOffset = chunk.dataOffset;
  walk.declaredDataSize = chunk.size;
  const uint32_t present = fileSize > chunk.dataOffset ? fileSize - chunk.dataOffset : 0;
  // A size of 0 is a recording whose header was written first and never
  // completed: the sound runs to the end of the file.
  walk.dataSize = chunk.size == 0 ? present : std::min(chunk.size, present);
  return walk;
}

uint32_t WaveReadSize(uint32_t bufferSize, uint32_t avgBytesPerSec, uint32_t blockAlign,
                      uint32_t dataLeft) {
  const uint32_t size = std::min({bufferSize, avgBytesPerSec, dataLeft});
  if (blockAlign == 0 || size < blockAlign) return size;
  return size - size % blockAlign;
}
