// The frame index of an MPEG audio file: a scan of the bytes for frame
// headers, measuring every frame by the rule of its layer. Tags before and
// behind the sound (ID3v2 at the start, APE and ID3v1 at the end) are
// stepped over by their own headers; bytes that are not frames (junk in
// front, the rest of a frame that a cut left, bytes between frames) are
// searched through for the next frame that the one after it confirms.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// One frame header found by the scan, in the order of the header's fields.
struct BMp3FrameRecord {
  uint8_t version = 0;  // 0 MPEG 2.5, 1 reserved, 2 MPEG 2, 3 MPEG 1
  uint8_t layer = 0;    // 1 Layer III, 2 Layer II, 3 Layer I (0, reserved, is no frame)
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
  int32_t samplesPerFrame = 0;
  uint32_t sampleRate = 0;  // Hz
  uint32_t offset = 0;      // file offset of the first header byte
  uint32_t size = 0;        // frame bytes, the 4 header bytes included
};

constexpr int32_t kInvalidSamplesPerFrame = -1;
constexpr uint8_t kMp3SingleChannel = 3;

// Where the scan takes its bytes from: a file or a block of memory.
class BMp3ByteSource {
 public:
  enum class ReadResult { Byte, End, Failure };

  virtual ~BMp3ByteSource() = default;
  virtual ReadResult ReadByte(uint8_t& byte) = 0;
  // Moves to an absolute offset, forwards or backwards; an offset past the
  // end is not a failure (the next read finds the end).
  virtual bool Seek(uint64_t offset) = 0;
  // The offset of the next byte ReadByte delivers.
  virtual uint64_t Position() const = 0;
  // The number of bytes the source holds.
  virtual bool GetSize(uint64_t& size) = 0;
};

// Bytes held in memory (the caller keeps them alive while the source is used).
class BMp3MemorySource : public BMp3ByteSource {
 public:
  BMp3MemorySource(const uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
  ReadResult ReadByte(uint8_t& byte) override;
  bool Seek(uint64_t offset) override;
  uint64_t Position() const override { return m_position; }
  bool GetSize(uint64_t& size) override;

 private:
  const uint8_t* m_data;
  std::size_t m_size;
  uint64_t m_position = 0;
};

enum class BMp3ScanOutcome {
  Complete,     // the index holds every whole frame found (it may be empty)
  ReadFailure,  // the source failed to read, to move or to tell its size
};

// Appends one record per frame to `frames`, in file order.
//  - ID3v2 tags at the start are skipped by their header (10 bytes, a
//    syncsafe size, 10 more for a footer), one after another; a tag that
//    claims more than the file holds is not skipped but searched like any
//    other bytes. An ID3v1 tag ("TAG", the last 128 bytes) and an APE tag
//    (its "APETAGEX" footer) at the end are cut off before the scan.
//  - A header starts where two bytes match the sync mask 0xFFE0. A frame is
//    measured by its layer's rule: Layer I (12 × bitrate / rate + padding)
//    × 4, Layer II 144 × bitrate / rate + padding, Layer III the same with 72
//    for MPEG 2 and 2.5, each with its layer's bitrate table.
//  - The first frame is taken only when the header one frame length behind
//    it is valid and agrees with it (same version, layer and sample rate), or
//    the sound ends there (fewer than 4 bytes left): in a file cut in the
//    middle of a frame, or with junk in front, a sync pattern in the rest of
//    a frame would otherwise set a wrong rate for the whole sound. Directly
//    behind a frame, a valid header of the same version, layer and rate
//    continues the chain; anywhere else a header is taken only when
//    confirmed the same way. A header that does not agree with the frames
//    found is never taken: every frame of the index has the first frame's
//    version, layer and rate.
//  - The reserved version, the reserved layer, bitrate index 15 and
//    sample-rate index 3 make a header invalid; the search goes on with the
//    byte behind its first byte.
//  - A free-format header (bitrate index 0) has no measurable length: it is
//    not indexed and the search goes on behind its 4 bytes.
//  - Only whole frames are indexed: a frame that the end of the sound cuts
//    short is left out, and with it the scan ends.
//  - A frame whose end would lie beyond 4 GiB ends the scan (offsets are 32 bits).
// Every step moves forward, so the scan always ends.
BMp3ScanOutcome ScanMp3Frames(BMp3ByteSource& source, std::vector<BMp3FrameRecord>& frames);

// The length of the sound in milliseconds: the sum over the frames of samples
// per frame × 1000 / sample rate, in double precision, truncated. A record
// without a known number of samples counts nothing.
int32_t Mp3SoundLength(const std::vector<BMp3FrameRecord>& frames);
