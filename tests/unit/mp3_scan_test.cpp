// The MPEG frame scan on crafted bytes, and the length of a frame index.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "audio/mp3_frame_scan.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

enum Version : uint8_t { kMpeg25 = 0, kReservedVersion = 1, kMpeg2 = 2, kMpeg1 = 3 };
enum Layer : uint8_t { kReservedLayer = 0, kLayer3 = 1, kLayer2 = 2, kLayer1 = 3 };

struct Header {
  uint8_t version = kMpeg1;
  uint8_t layer = kLayer3;
  uint8_t bitrateIndex = 9;  // 128 kbit/s in MPEG 1
  uint8_t rateIndex = 0;     // 44100 Hz in MPEG 1
  uint8_t padding = 0;
  uint8_t channelMode = 1;
  uint8_t fourthLowBits = 0;  // mode extension, rights, copy, emphasis
};

void AppendHeader(Bytes& bytes, const Header& h) {
  bytes.push_back(0xFF);
  bytes.push_back(static_cast<uint8_t>(0xE0 | h.version << 3 | h.layer << 1 | 1));
  bytes.push_back(static_cast<uint8_t>(h.bitrateIndex << 4 | h.rateIndex << 2 | h.padding << 1));
  bytes.push_back(static_cast<uint8_t>(h.channelMode << 6 | (h.fourthLowBits & 0x3F)));
}

// A header followed by a zero body, `frameSize` bytes in all.
void AppendFrame(Bytes& bytes, const Header& h, std::size_t frameSize) {
  AppendHeader(bytes, h);
  bytes.insert(bytes.end(), frameSize - 4, 0);
}

BMp3ScanOutcome Scan(const Bytes& bytes, std::vector<BMp3FrameRecord>& frames) {
  BMp3MemorySource source(bytes.data(), bytes.size());
  return ScanMp3Frames(source, frames);
}

// Fails to read at a given offset, or to move at all.
class FailingSource : public BMp3MemorySource {
 public:
  FailingSource(const Bytes& bytes, uint64_t failAt, bool skipFails)
      : BMp3MemorySource(bytes.data(), bytes.size()), m_failAt(failAt), m_skipFails(skipFails) {}
  ReadResult ReadByte(uint8_t& byte) override {
    return Position() == m_failAt ? ReadResult::Failure : BMp3MemorySource::ReadByte(byte);
  }
  bool Seek(uint64_t offset) override { return !m_skipFails && BMp3MemorySource::Seek(offset); }

 private:
  uint64_t m_failAt;
  bool m_skipFails;
};

}  // namespace

TEST(Mp3Scan, MeasuresEachLayerByItsOwnRule) {
  struct Case {
    Header header;
    uint32_t size;
    uint32_t rate;
    int32_t samples;
  };
  const Case cases[] = {
      {{kMpeg1, kLayer3, 9, 0, 0}, 417, 44100, 1152},  // 128 kbit/s
      {{kMpeg1, kLayer3, 9, 0, 1}, 418, 44100, 1152},
      {{kMpeg1, kLayer3, 14, 2, 0}, 1440, 32000, 1152},  // 320 kbit/s, the largest frame
      {{kMpeg1, kLayer3, 1, 1, 1}, 97, 48000, 1152},     // 32 kbit/s
      {{kMpeg2, kLayer3, 8, 0, 0}, 208, 22050, 576},     // 64 kbit/s
      {{kMpeg2, kLayer3, 8, 0, 1}, 209, 22050, 576},
      {{kMpeg2, kLayer3, 14, 2, 0}, 720, 16000, 576},    // 160 kbit/s
      {{kMpeg25, kLayer3, 4, 0, 1}, 209, 11025, 576},    // 32 kbit/s
      {{kMpeg25, kLayer3, 1, 2, 0}, 72, 8000, 576},      // 8 kbit/s, the smallest
      {{kMpeg25, kLayer3, 13, 1, 0}, 864, 12000, 576},   // 144 kbit/s
      {{kMpeg2, kLayer2, 8, 1, 0}, 384, 24000, 1152},    // Layer II: 144 × 64000 / 24000
      {{kMpeg1, kLayer2, 14, 1, 1}, 1153, 48000, 1152},  // 384 kbit/s
      {{kMpeg1, kLayer1, 9, 0, 0}, 312, 44100, 384},     // Layer I: 4 × (12 × 288000 / 44100)
      {{kMpeg2, kLayer1, 1, 0, 1}, 72, 22050, 384},      // 32 kbit/s, a 4-byte padding slot
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    Bytes bytes;
    AppendFrame(bytes, c.header, c.size);
    AppendFrame(bytes, c.header, c.size);
    std::vector<BMp3FrameRecord> frames;
    ASSERT_EQ(Scan(bytes, frames), BMp3ScanOutcome::Complete);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[1].offset, c.size);
    EXPECT_EQ(frames[0].size, c.size);
    EXPECT_EQ(frames[0].sampleRate, c.rate);
    EXPECT_EQ(frames[0].samplesPerFrame, c.samples);
    EXPECT_EQ(frames[0].version, c.header.version);
    EXPECT_EQ(frames[0].layer, c.header.layer);
    EXPECT_EQ(frames[0].padding, c.header.padding);
  }
}

TEST(Mp3Scan, KeepsEveryHeaderField) {
  Bytes bytes = {0xFF, 0xF2, 0x8B, 0xE7};  // MPEG 2 Layer III, CRC, 64 kbit/s, 16 kHz
  bytes.insert(bytes.end(), 285, 0);
  std::vector<BMp3FrameRecord> frames;
  ASSERT_EQ(Scan(bytes, frames), BMp3ScanOutcome::Complete);
  ASSERT_EQ(frames.size(), 1u);
  const BMp3FrameRecord& f = frames[0];
  EXPECT_EQ(f.version, 2);
  EXPECT_EQ(f.layer, 1);
  EXPECT_EQ(f.protection, 0);
  EXPECT_EQ(f.bitrateIndex, 8);
  EXPECT_EQ(f.sampleRateIndex, 2);
  EXPECT_EQ(f.sampleRate, 16000u);
  EXPECT_EQ(f.padding, 1);
  EXPECT_EQ(f.privateBit, 1);
  EXPECT_EQ(f.channelMode, 3);
  EXPECT_EQ(f.modeExtension, 2);
  EXPECT_EQ(f.rightsBit, 0);
  EXPECT_EQ(f.copyBit, 1);
  EXPECT_EQ(f.emphasis, 3);
  EXPECT_EQ(f.size, 289u);
}

TEST(Mp3Scan, FindsTheSyncAnywhereAfterGarbage) {
  // Lone 0xFF bytes and near misses of the 11-bit sync are not headers.
  Bytes bytes = {'I', 'D', '3', 0xFF, 0x00, 0xFF, 0xDF, 0x12, 0x7F, 0xE0, 0xFF, 0x01};
  Header mono;
  mono.channelMode = 3;
  AppendFrame(bytes, mono, 417);
  std::vector<BMp3FrameRecord> frames;
  ASSERT_EQ(Scan(bytes, frames), BMp3ScanOutcome::Complete);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].offset, 12u);
  EXPECT_EQ(frames[0].channelMode, 3);

  // Garbage between frames is passed over as well.
  Bytes three;
  AppendFrame(three, Header{}, 417);
  AppendFrame(three, Header{}, 417);
  three.insert(three.end(), {0x01, 0xFF, 0x02});
  AppendFrame(three, Header{}, 417);
  frames.clear();
  ASSERT_EQ(Scan(three, frames), BMp3ScanOutcome::Complete);
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(frames[2].offset, 837u);
}

TEST(Mp3Scan, InvalidHeadersAreSearchedPast) {
  Header reservedVersion;
  reservedVersion.version = kReservedVersion;
  Header badBitrate;
  badBitrate.bitrateIndex = 15;
  Header badRate;
  badRate.rateIndex = 3;
  Header badMpeg25Rate;
  badMpeg25Rate.version = kMpeg25;
  badMpeg25Rate.rateIndex = 3;
  Header reservedLayer;  // also how an AAC stream (ADTS) begins
  reservedLayer.layer = kReservedLayer;
  for (const Header& bad : {reservedVersion, badBitrate, badRate, badMpeg25Rate, reservedLayer}) {
    // After good frames: the frames behind the invalid one are found again.
    Bytes bytes;
    AppendFrame(bytes, Header{}, 417);
    AppendFrame(bytes, Header{}, 417);
    AppendFrame(bytes, bad, 417);
    AppendFrame(bytes, Header{}, 417);
    AppendFrame(bytes, Header{}, 417);
    std::vector<BMp3FrameRecord> frames;
    EXPECT_EQ(Scan(bytes, frames), BMp3ScanOutcome::Complete);
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_EQ(frames[2].offset, 1251u);

    // As the first header as well.
    Bytes first;
    AppendFrame(first, bad, 417);
    AppendFrame(first, Header{}, 417);
    frames.clear();
    EXPECT_EQ(Scan(first, frames), BMp3ScanOutcome::Complete);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].offset, 417u);
  }
}

TEST(Mp3Scan, EndsOfFile) {
  std::vector<BMp3FrameRecord> frames;
  EXPECT_EQ(Scan({}, frames), BMp3ScanOutcome::Complete);
  EXPECT_EQ(Scan({0x00, 0x12, 0xFF, 0x00, 0xFF}, frames), BMp3ScanOutcome::Complete);
  EXPECT_TRUE(frames.empty());

  // A header, or a last frame, that the end cuts short is left out; the
  // whole frames before it stay.
  Bytes cutFrame;
  AppendFrame(cutFrame, Header{}, 417);
  AppendFrame(cutFrame, Header{}, 417);
  cutFrame.pop_back();
  Bytes loneSync;
  AppendFrame(loneSync, Header{}, 417);
  loneSync.push_back(0xFF);
  for (Bytes tail : {Bytes{0xFF, 0xFB}, Bytes{0xFF, 0xFB, 0x90}, Bytes{0xFF, 0xEB, 0xF0}}) {
    Bytes bytes;
    AppendFrame(bytes, Header{}, 417);
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    frames.clear();
    EXPECT_EQ(Scan(bytes, frames), BMp3ScanOutcome::Complete);
    EXPECT_EQ(frames.size(), 1u);
  }
  for (const Bytes& bytes : {cutFrame, loneSync}) {
    frames.clear();
    ASSERT_EQ(Scan(bytes, frames), BMp3ScanOutcome::Complete);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(Mp3SoundLength(frames), 26);
  }
}

// Tags around the sound and junk between frames: the index is that of the
// same frames without them, whatever sync patterns the tags and the junk hold.
TEST(Mp3Scan, StepsOverTagsAndJunk) {
  Bytes sound;
  for (int i = 0; i < 6; ++i) AppendFrame(sound, Header{}, 417);
  // Like a picture: JPEG markers, a header whose frame is not followed by
  // another (it would be taken in the open), and filler.
  Bytes picture = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10};
  AppendFrame(picture, Header{}, 100);
  picture.insert(picture.end(), 400, 0x55);
  auto id3v2 = [](uint8_t flags, const Bytes& body) {
    Bytes tag = {'I',
                 'D',
                 '3',
                 4,
                 0,
                 flags,
                 0,
                 0,
                 static_cast<uint8_t>(body.size() >> 7),
                 static_cast<uint8_t>(body.size() & 0x7F)};
    return tag + body + (flags & 0x10 ? Bytes{'3', 'D', 'I', 4, 0, 0x10, 0, 0, 0, 0} : Bytes{});
  };
  // An APE tag with a header (flag bit 31) and its footer, holding whole
  // frames, then an ID3v1 tag.
  const Bytes items = picture + Bytes(sound.begin(), sound.begin() + 2 * 417);
  const uint32_t apeSize = static_cast<uint32_t>(items.size() + 32);
  Bytes ape = {'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X', 0xD0, 7, 0, 0};
  ape = ape + Bytes{static_cast<uint8_t>(apeSize),
                    static_cast<uint8_t>(apeSize >> 8),
                    0,
                    0,
                    1,
                    0,
                    0,
                    0,
                    0,
                    0,
                    0,
                    0x80};
  ape.resize(32, 0);
  const Bytes tail = ape + items + ape + Bytes{'T', 'A', 'G'} + Bytes(125, 0xFF);

  std::vector<BMp3FrameRecord> plain;
  ASSERT_EQ(Scan(sound, plain), BMp3ScanOutcome::Complete);
  const struct {
    Bytes front, middle, back;
  } cases[] = {{id3v2(0x10, picture) + id3v2(0, Bytes(7, 0)), {}, {}},
               {{}, picture, {}},
               {id3v2(0, picture), picture, tail}};
  for (const auto& c : cases) {
    const Bytes bytes = c.front + Bytes(sound.begin(), sound.begin() + 3 * 417) + c.middle +
                        Bytes(sound.begin() + 3 * 417, sound.end()) + c.back;
    std::vector<BMp3FrameRecord> frames;
    ASSERT_EQ(Scan(bytes, frames), BMp3ScanOutcome::Complete);
    ASSERT_EQ(frames.size(), plain.size()) << &c - cases;
    for (size_t i = 0; i < frames.size(); ++i)
      EXPECT_EQ(frames[i].offset,
                plain[i].offset + c.front.size() + (i >= 3 ? c.middle.size() : 0));
  }

  // A tag that claims more than the file holds is searched like other bytes.
  std::vector<BMp3FrameRecord> frames;
  ASSERT_EQ(Scan(Bytes{'I', 'D', '3', 3, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F} + sound, frames),
            BMp3ScanOutcome::Complete);
  EXPECT_EQ(frames.size(), plain.size());
}

TEST(Mp3Scan, FreeFormatHeadersAreSkippedAndTheScanMovesOn) {
  Header free;
  free.bitrateIndex = 0;
  Bytes bytes;
  for (int i = 0; i < 100000; ++i) AppendHeader(bytes, free);
  AppendFrame(bytes, Header{}, 417);
  std::vector<BMp3FrameRecord> frames;
  ASSERT_EQ(Scan(bytes, frames), BMp3ScanOutcome::Complete);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].offset, 400000u);

  // A picture marker in a tag (0xFF 0xE0 0x00 0x10) reads as such a header.
  Bytes tagged = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F'};
  AppendFrame(tagged, Header{}, 417);
  frames.clear();
  ASSERT_EQ(Scan(tagged, frames), BMp3ScanOutcome::Complete);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].offset, 10u);
}

TEST(Mp3Scan, ReportsSourceFailures) {
  Bytes bytes;
  AppendFrame(bytes, Header{}, 417);
  AppendFrame(bytes, Header{}, 417);
  // 0 to 9: the ID3v2 test; 706: the ID3v1 test; 802 to 833: the APE test.
  for (uint64_t failAt : {0u, 2u, 3u, 417u, 706u, 806u}) {
    FailingSource source(bytes, failAt, false);
    std::vector<BMp3FrameRecord> frames;
    EXPECT_EQ(ScanMp3Frames(source, frames), BMp3ScanOutcome::ReadFailure) << failAt;
  }
  FailingSource source(bytes, ~0ull, true);
  std::vector<BMp3FrameRecord> frames;
  EXPECT_EQ(ScanMp3Frames(source, frames), BMp3ScanOutcome::ReadFailure);
  EXPECT_TRUE(frames.empty());
}

TEST(Mp3Length, SumsExactDurationsAndTruncatesOnce) {
  std::vector<BMp3FrameRecord> frames;
  EXPECT_EQ(Mp3SoundLength(frames), 0);

  BMp3FrameRecord mpeg1;
  mpeg1.samplesPerFrame = 1152;
  mpeg1.sampleRate = 44100;  // 26.122... ms a frame
  frames.assign(1000, mpeg1);
  EXPECT_EQ(Mp3SoundLength(frames), 26122);  // not 1000 × 26

  BMp3FrameRecord mpeg25;
  mpeg25.samplesPerFrame = 576;
  mpeg25.sampleRate = 8000;  // 72 ms exactly
  frames.assign(3, mpeg25);
  frames.push_back(mpeg1);
  EXPECT_EQ(Mp3SoundLength(frames), 242);

  BMp3FrameRecord reserved = mpeg1;
  reserved.samplesPerFrame = kInvalidSamplesPerFrame;
  frames.push_back(reserved);
  EXPECT_EQ(Mp3SoundLength(frames), 242);
}
