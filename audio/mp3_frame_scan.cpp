#include "audio/mp3_frame_scan.h"

#include <cstring>
#include <limits>

namespace {

constexpr uint8_t kReservedVersion = 1;
constexpr uint8_t kMpeg1 = 3;
constexpr uint32_t kInvalid = 0xFFFFFFFFu;
constexpr uint16_t kSyncMask = 0xFFE0;

// Bitrates in kbit/s by bitrate index, one table per version family and layer.
constexpr uint32_t kBitrates[5][16] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, kInvalid},  // MPEG 1, I
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, kInvalid},     // MPEG 1, II
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, kInvalid},  // MPEG 1, III
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256,
     kInvalid},  // MPEG 2, 2.5, I
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160,
     kInvalid},  // MPEG 2, 2.5, II, III
};

// Sample rates in Hz by version bits and sample-rate index.
constexpr uint32_t kSampleRates[4][4] = {
    {11025, 12000, 8000, kInvalid},            // MPEG 2.5
    {kInvalid, kInvalid, kInvalid, kInvalid},  // reserved
    {22050, 24000, 16000, kInvalid},           // MPEG 2
    {44100, 48000, 32000, kInvalid},           // MPEG 1
};

// Samples per frame by version bits and layer bits (reserved, III, II, I).
constexpr int32_t kSamplesPerFrame[4][4] = {
    {kInvalidSamplesPerFrame, 576, 1152, 384},
    {kInvalidSamplesPerFrame, kInvalidSamplesPerFrame, kInvalidSamplesPerFrame,
     kInvalidSamplesPerFrame},
    {kInvalidSamplesPerFrame, 576, 1152, 384},
    {kInvalidSamplesPerFrame, 1152, 1152, 384},
};

constexpr uint8_t kReservedLayer = 0;
constexpr uint8_t kLayer1 = 3;
constexpr uint8_t kLayer2 = 2;

// The bitrate in bits per second, or kInvalid.
uint32_t Bitrate(const BMp3FrameRecord& record) {
  const int table = record.version == kMpeg1 ? 3 - record.layer : (record.layer == kLayer1 ? 3 : 4);
  const uint32_t kilobits = kBitrates[table][record.bitrateIndex];
  return kilobits == kInvalid ? kInvalid : kilobits * 1000;
}

// The frame length in bytes, header included, by the rule of the frame's layer.
uint32_t FrameSize(const BMp3FrameRecord& record, uint32_t bitrate, uint32_t rate) {
  if (record.layer == kLayer1) return (12 * bitrate / rate + record.padding) * 4;
  const uint32_t factor = record.layer == kLayer2 || record.version == kMpeg1 ? 144 : 72;
  return factor * bitrate / rate + record.padding;
}

enum class HeaderKind { Frame, FreeFormat, Invalid };

// Fills the header fields of `record` from the second to fourth header bytes
// and tells what the scan does with the header.
HeaderKind DecodeHeader(uint8_t second, uint8_t third, uint8_t fourth, BMp3FrameRecord& record,
                        uint32_t& bodyLength) {
  record.version = (second >> 3) & 3;
  record.layer = (second >> 1) & 3;
  record.protection = second & 1;
  record.bitrateIndex = (third >> 4) & 15;
  record.sampleRateIndex = (third >> 2) & 3;
  record.padding = (third >> 1) & 1;
  record.privateBit = third & 1;
  record.channelMode = (fourth >> 6) & 3;
  record.modeExtension = (fourth >> 4) & 3;
  record.rightsBit = (fourth >> 3) & 1;
  record.copyBit = (fourth >> 2) & 1;
  record.emphasis = fourth & 3;

  if (record.version == kReservedVersion || record.layer == kReservedLayer)
    return HeaderKind::Invalid;
  const uint32_t rate = kSampleRates[record.version][record.sampleRateIndex];
  const uint32_t bitrate = Bitrate(record);
  if (rate == kInvalid || bitrate == kInvalid) return HeaderKind::Invalid;
  if (bitrate == 0) return HeaderKind::FreeFormat;

  record.sampleRate = rate;
  record.samplesPerFrame = kSamplesPerFrame[record.version][record.layer];
  record.size = FrameSize(record, bitrate, rate);
  bodyLength = record.size - 4;
  return HeaderKind::Frame;
}

// Frames of one stream share version, layer and sample rate; a stray sync
// pattern rarely agrees with the header one frame length away.
bool Agree(const BMp3FrameRecord& a, const BMp3FrameRecord& b) {
  return a.version == b.version && a.layer == b.layer && a.sampleRateIndex == b.sampleRateIndex;
}

uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

constexpr uint64_t kNoChain = std::numeric_limits<uint64_t>::max();
constexpr uint32_t kId3v1Size = 128;
constexpr uint32_t kApeFooterSize = 32;
constexpr uint32_t kApeHasHeader = 0x80000000u;

// One run of the scan over a source: the sound's bounds, then the frames.
class BFrameScan {
 public:
  BFrameScan(BMp3ByteSource& source, std::vector<BMp3FrameRecord>& frames)
      : m_source(source), m_frames(frames) {}

  BMp3ScanOutcome Run() {
    uint64_t start = 0;
    if (!m_source.GetSize(m_end) || !CutTrailingTags() || !SkipLeadingTags(start) ||
        !m_source.Seek(start))
      return BMp3ScanOutcome::ReadFailure;
    return ScanFrames() ? BMp3ScanOutcome::Complete : BMp3ScanOutcome::ReadFailure;
  }

 private:
  // Reads up to `count` bytes at `offset`: how many were there, or -1.
  int ReadAt(uint64_t offset, uint8_t* bytes, int count) {
    if (!m_source.Seek(offset)) return -1;
    for (int i = 0; i < count; ++i) {
      const BMp3ByteSource::ReadResult result = m_source.ReadByte(bytes[i]);
      if (result == BMp3ByteSource::ReadResult::Failure) return -1;
      if (result == BMp3ByteSource::ReadResult::End) return i;
    }
    return count;
  }

  // An ID3v1 tag is the last 128 bytes; an APE tag ends with its footer, in
  // front of an ID3v1 tag when there is one.
  bool CutTrailingTags() {
    uint8_t bytes[kApeFooterSize] = {};
    if (m_end >= kId3v1Size) {
      const int got = ReadAt(m_end - kId3v1Size, bytes, 3);
      if (got < 0) return false;
      if (got == 3 && bytes[0] == 'T' && bytes[1] == 'A' && bytes[2] == 'G') m_end -= kId3v1Size;
    }
    if (m_end >= kApeFooterSize) {
      const int got = ReadAt(m_end - kApeFooterSize, bytes, kApeFooterSize);
      if (got < 0) return false;
      if (got == static_cast<int>(kApeFooterSize) && std::memcmp(bytes, "APETAGEX", 8) == 0) {
        // The size counts the items and the footer; a header comes on top.
        const uint64_t tagSize = Get32(bytes + 12);
        const uint64_t whole = tagSize + ((Get32(bytes + 20) & kApeHasHeader) ? kApeFooterSize : 0);
        m_end -= tagSize >= kApeFooterSize && whole <= m_end ? whole : kApeFooterSize;
      }
    }
    return true;
  }

  bool SkipLeadingTags(uint64_t& start) {
    for (;;) {
      uint8_t h[10] = {};
      const int got = ReadAt(start, h, 10);
      if (got < 0) return false;
      if (got < 10 || h[0] != 'I' || h[1] != 'D' || h[2] != '3') return true;
      if (h[3] == 0xFF || h[4] == 0xFF || ((h[6] | h[7] | h[8] | h[9]) & 0x80) != 0) return true;
      const uint64_t size = static_cast<uint64_t>(h[6]) << 21 | h[7] << 14 | h[8] << 7 | h[9];
      const uint64_t tagEnd = start + 10 + size + ((h[5] & 0x10) != 0 ? 10 : 0);
      if (tagEnd > m_end) return true;
      start = tagEnd;
    }
  }

  // Whether the frame `record` ending at `end` is confirmed: the sound ends
  // there, or a valid header that agrees with it follows. -1 when the source fails.
  int Confirmed(uint64_t end, const BMp3FrameRecord& record) {
    if (m_end - end < 4) return 1;
    uint8_t h[4] = {};
    const int got = ReadAt(end, h, 4);
    if (got < 0) return -1;
    BMp3FrameRecord next;
    uint32_t bodyLength = 0;
    return got == 4 && (static_cast<uint16_t>(h[0] << 8 | h[1]) & kSyncMask) == kSyncMask &&
           DecodeHeader(h[1], h[2], h[3], next, bodyLength) == HeaderKind::Frame &&
           Agree(next, record);
  }

  bool ScanFrames() {
    using Read = BMp3ByteSource::ReadResult;
    uint64_t chainEnd = kNoChain;  // where the frame behind the last one would start
    uint16_t sync = 0;
    for (;;) {
      uint8_t byte = 0;
      if (m_source.Position() >= m_end) return true;
      Read result = m_source.ReadByte(byte);
      if (result == Read::Failure) return false;
      if (result == Read::End) return true;

      sync = static_cast<uint16_t>((sync << 8) | byte);
      if ((sync & kSyncMask) != kSyncMask) continue;
      sync = 0;

      const uint64_t start = m_source.Position() - 2;
      uint8_t h[4] = {};
      const int got = ReadAt(start, h, 4);
      if (got < 0) return false;
      if (got < 4 || start + 4 > m_end) return true;  // a header cut by the end

      BMp3FrameRecord record;
      uint32_t bodyLength = 0;
      const HeaderKind kind = DecodeHeader(h[1], h[2], h[3], record, bodyLength);
      if (kind == HeaderKind::FreeFormat) continue;  // the search goes on behind it
      // An invalid header, or one of another stream than the frames found.
      if (kind == HeaderKind::Invalid || (!m_frames.empty() && !Agree(record, m_frames.front()))) {
        if (!m_source.Seek(start + 1)) return false;
        continue;
      }

      const uint64_t end = start + record.size;
      if (end > std::numeric_limits<uint32_t>::max()) return true;
      if (start != chainEnd) {
        const int confirmed = end > m_end ? 0 : Confirmed(end, record);
        if (confirmed < 0) return false;
        if (confirmed == 0) {
          if (!m_source.Seek(start + 1)) return false;
          continue;
        }
      } else if (end > m_end) {
        return true;  // the last frame, cut short
      }
      record.offset = static_cast<uint32_t>(start);
      m_frames.push_back(record);
      chainEnd = end;
      if (!m_source.Seek(end)) return false;
    }
  }

  BMp3ByteSource& m_source;
  std::vector<BMp3FrameRecord>& m_frames;
  uint64_t m_end = 0;  // where the sound ends: the size less the trailing tags
};

}  // namespace

BMp3ByteSource::ReadResult BMp3MemorySource::ReadByte(uint8_t& byte) {
  if (m_position >= m_size) return ReadResult::End;
  byte = m_data[m_position++];
  return ReadResult::Byte;
}

bool BMp3MemorySource::Seek(uint64_t offset) {
  m_position = offset;
  return true;
}

bool BMp3MemorySource::GetSize(uint64_t& size) {
  size = m_size;
  return true;
}

BMp3ScanOutcome ScanMp3Frames(BMp3ByteSource& source, std::vector<BMp3FrameRecord>& frames) {
  return BFrameScan(source, frames).Run();
}

int32_t Mp3SoundLength(const std::vector<BMp3FrameRecord>& frames) {
  double milliseconds = 0.0;
  for (const BMp3FrameRecord& frame : frames) {
    if (frame.samplesPerFrame == kInvalidSamplesPerFrame || frame.sampleRate == 0) continue;
    milliseconds += static_cast<double>(static_cast<uint32_t>(frame.samplesPerFrame)) * 1000.0 /
                    frame.sampleRate;
  }
  if (milliseconds >= static_cast<double>(std::numeric_limits<int32_t>::max()))
    return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(milliseconds);
}
