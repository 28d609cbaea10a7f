#include "audio/mp3_frame_scan.h"

#include <limits>

namespace {

constexpr uint8_t kReservedVersion = 1;
constexpr uint8_t kMpeg1 = 3;
constexpr uint32_t kInvalid = 0xFFFFFFFFu;
constexpr uint16_t kSyncMask = 0xFFE0;

// Layer III bitrates in bits per second, by bitrate index.
constexpr uint32_t kMpeg1Bitrates[16] = {0,      32000,  40000,  48000,   56000,  64000,
                                         80000,  96000,  112000, 128000,  160000, 192000,
                                         224000, 256000, 320000, kInvalid};
constexpr uint32_t kMpeg2Bitrates[16] = {0,      8000,   16000,  24000,   32000, 40000,
                                         48000,  56000,  64000,  80000,   96000, 112000,
                                         128000, 144000, 160000, kInvalid};

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

enum class HeaderKind { Frame, FreeFormat, EndsScan };

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

  if (record.version == kReservedVersion) return HeaderKind::EndsScan;
  uint32_t rate = kSampleRates[record.version][record.sampleRateIndex];
  uint32_t bitrate =
      (record.version == kMpeg1 ? kMpeg1Bitrates : kMpeg2Bitrates)[record.bitrateIndex];
  if (rate == kInvalid || bitrate == kInvalid) return HeaderKind::EndsScan;
  if (bitrate == 0) return HeaderKind::FreeFormat;

  // The Layer III frame length, whatever the layer bits say.
  uint32_t factor = record.version == kMpeg1 ? 144 : 72;
  bodyLength = factor * bitrate / rate + record.padding - 4;
  record.sampleRate = rate;
  record.samplesPerFrame = kSamplesPerFrame[record.version][record.layer];
  record.size = bodyLength + 4;
  return HeaderKind::Frame;
}

}  // namespace

BMp3ByteSource::ReadResult BMp3MemorySource::ReadByte(uint8_t& byte) {
  if (m_position >= m_size) return ReadResult::End;
  byte = m_data[m_position++];
  return ReadResult::Byte;
}

bool BMp3MemorySource::Skip(uint32_t count) {
  m_position += count;
  return true;
}

BMp3ScanOutcome ScanMp3Frames(BMp3ByteSource& source, std::vector<BMp3FrameRecord>& frames) {
  using Read = BMp3ByteSource::ReadResult;
  uint16_t sync = 0;
  for (;;) {
    uint8_t byte = 0;
    Read result = source.ReadByte(byte);
    if (result == Read::Failure) return BMp3ScanOutcome::ReadFailure;
    if (result == Read::End)
      return frames.empty() ? BMp3ScanOutcome::EndOfFile : BMp3ScanOutcome::Complete;

    sync = static_cast<uint16_t>((sync << 8) | byte);
    if ((sync & kSyncMask) != kSyncMask) continue;

    // The rest of the header must be there, even when frames came before.
    uint8_t third = 0, fourth = 0;
    for (uint8_t* target : {&third, &fourth}) {
      result = source.ReadByte(*target);
      if (result == Read::Failure) return BMp3ScanOutcome::ReadFailure;
      if (result == Read::End) return BMp3ScanOutcome::EndOfFile;
    }

    BMp3FrameRecord record;
    uint32_t bodyLength = 0;
    HeaderKind kind = DecodeHeader(byte, third, fourth, record, bodyLength);
    if (kind == HeaderKind::EndsScan) return BMp3ScanOutcome::Complete;
    sync = 0;
    if (kind == HeaderKind::FreeFormat) continue;

    uint64_t offset = source.Position() - 4;
    if (offset + record.size > std::numeric_limits<uint32_t>::max())
      return BMp3ScanOutcome::Complete;
    record.offset = static_cast<uint32_t>(offset);
    if (!source.Skip(bodyLength)) return BMp3ScanOutcome::ReadFailure;
    frames.push_back(record);
  }
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
