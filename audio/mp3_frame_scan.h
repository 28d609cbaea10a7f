// The frame index of an MPEG audio file: a scan of the bytes for frame
// headers, measuring every frame by the Layer III rule. No ID3 or other tag is
// recognised; the scan looks for the sync pattern from the first byte on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// One frame header found by the scan, in the order of the header's fields.
struct BMp3FrameRecord {
  uint8_t version = 0;  // 0 MPEG 2.5, 1 reserved, 2 MPEG 2, 3 MPEG 1
  uint8_t layer = 0;    // 1 Layer III, 2 Layer II, 3 Layer I, 0 reserved
  uint8_t protection = 0;
  uint8_t bitrateIndex = 0;     // 0..15
  uint8_t sampleRateIndex = 0;  // 0..3
  uint8_t padding = 0;
  uint8_t privateBit = 0;
  uint8_t channelMode = 0;  // 0 stereo, 1 joint stereo, 2 dual channel, 3 single channel
  uint8_t modeExtension = 0;
  uint8_t rightsBit = 0;
  uint8_t copyBit = 0;
  uint8_t emphasis = 0;
  int32_t samplesPerFrame = 0;  // kInvalidSamplesPerFrame for the reserved layer
  uint32_t sampleRate = 0;      // Hz
  uint32_t offset = 0;          // file offset of the first header byte
  uint32_t size = 0;            // frame bytes, the 4 header bytes included
};

constexpr int32_t kInvalidSamplesPerFrame = -1;
constexpr uint8_t kMp3SingleChannel = 3;

// Where the scan takes its bytes from: a file or a block of memory.
class BMp3ByteSource {
 public:
  enum class ReadResult { Byte, End, Failure };

  virtual ~BMp3ByteSource() = default;
  virtual ReadResult ReadByte(uint8_t& byte) = 0;
  // Moves forward by `count` bytes; moving past the end is not a failure
  // (the next read finds the end).
  virtual bool Skip(uint32_t count) = 0;
  // The offset of the next byte ReadByte delivers.
  virtual uint64_t Position() const = 0;
};

// Bytes held in memory (the caller keeps them alive while the source is used).
class BMp3MemorySource : public BMp3ByteSource {
 public:
  BMp3MemorySource(const uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
  ReadResult ReadByte(uint8_t& byte) override;
  bool Skip(uint32_t count) override;
  uint64_t Position() const override { return m_position; }

 private:
  const uint8_t* m_data;
  std::size_t m_size;
  uint64_t m_position = 0;
};

enum class BMp3ScanOutcome {
  Complete,     // the index is usable: the end came after a frame, or an
                // invalid header ended the scan (the index may then be empty)
  EndOfFile,    // the file ended inside a header, or before any frame
  ReadFailure,  // the source failed to read or to move
};

// Appends one record per frame header to `frames`, in file order.
//  - A header starts where two bytes match the sync mask 0xFFE0.
//  - The reserved version, bitrate index 15 and sample-rate index 3 end the scan.
//  - A free-format header (bitrate index 0) has no measurable length: it is
//    not indexed and the scan goes on with the byte behind its 4 bytes, so it
//    always moves forward (such patterns also occur inside tags and pictures).
//  - A frame whose end would lie beyond 4 GiB ends the scan (offsets are 32 bits).
BMp3ScanOutcome ScanMp3Frames(BMp3ByteSource& source, std::vector<BMp3FrameRecord>& frames);

// The length of the sound in milliseconds: the sum over the frames of samples
// per frame × 1000 / sample rate, in double precision, truncated. Frames of the
// reserved layer carry no known number of samples and count nothing.
int32_t Mp3SoundLength(const std::vector<BMp3FrameRecord>& frames);
