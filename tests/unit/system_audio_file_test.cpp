// The reader of the kinds only the system decodes (MPEG-4, Windows Media),
// over a fake of the system's decoder: which files it claims, how each
// failure of the system is named, and how the decoder's blocks reach Read.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "audio/audio_string_ids.h"
#include "audio/system_audio_file.h"

namespace {

std::string TestSound(const std::string& name) {
  return std::string(SIRELTA_TEST_SOUNDS_DIR) + "/" + name;
}

struct FakeSystem {
  BSystemDecoder::BStatus openStatus = BSystemDecoder::BStatus::Ok;
  uint32_t milliseconds = 0;
  std::vector<std::vector<uint8_t>> blocks;
  std::size_t failAt = ~std::size_t(0);  // the block whose decoding fails
  int opened = 0;
};

class FakeDecoder : public BSystemDecoder {
 public:
  explicit FakeDecoder(FakeSystem& system) : m_system(system) {}
  BStatus Open(const std::string&, BPcmFormat& format, uint32_t& milliseconds) override {
    ++m_system.opened;
    m_next = 0;
    format = BPcmFormat();
    format.channels = 2;
    format.samplesPerSec = 8000;
    format.bitsPerSample = 16;
    milliseconds = m_system.milliseconds;
    return m_system.openStatus;
  }
  BStatus Decode(std::vector<uint8_t>& pcm, bool& end) override {
    if (m_next == m_system.failAt) return BStatus::Failure;
    const std::vector<uint8_t>& block = m_system.blocks[m_next++];
    pcm.insert(pcm.end(), block.begin(), block.end());
    end = m_next == m_system.blocks.size();
    return BStatus::Ok;
  }
  void Close() override {}

 private:
  FakeSystem& m_system;
  std::size_t m_next = 0;
};

std::unique_ptr<BSystemAudioFile> Reader(FakeSystem& system) {
  return std::unique_ptr<BSystemAudioFile>(
      new BSystemAudioFile(std::unique_ptr<BSystemDecoder>(new FakeDecoder(system))));
}

// Reads to the end with a buffer of 10 bytes: what came, and how Read ended.
std::vector<uint8_t> ReadAll(BAudioFile& reader, int32_t& lastCount) {
  std::vector<uint8_t> sound;
  uint8_t buffer[10];
  for (int guard = 0; guard < 100000; ++guard) {
    if (!reader.Read(buffer, sizeof buffer, lastCount)) break;
    EXPECT_EQ(0, lastCount % 4) << "whole frames only";
    sound.insert(sound.end(), buffer, buffer + lastCount);
  }
  return sound;
}

}  // namespace

TEST(SystemAudioFile, NamesTheKindWhenTheSystemCannotAndHandsOutWholeFrames) {
  const std::string m4a = TestSound("announcement.m4a");
  const struct {
    BSystemDecoder::BStatus status;
    unsigned text;
  } refusals[] = {{BSystemDecoder::BStatus::NoFramework, IDS_KIND_NO_MEDIA_FOUNDATION},
                  {BSystemDecoder::BStatus::NoDecoder, IDS_KIND_NO_SYSTEM_DECODER},
                  {BSystemDecoder::BStatus::Failure, IDS_KIND_DAMAGED}};
  for (const auto& refusal : refusals) {
    FakeSystem system;
    system.openStatus = refusal.status;
    auto reader = Reader(system);
    EXPECT_FALSE(reader->Open(m4a));
    EXPECT_TRUE(reader->IsRecognised());
    EXPECT_EQ(SoundKindText(refusal.text, BSoundKind::Mp4), reader->GetErrorText());
  }
  // Files of other kinds never reach the system.
  FakeSystem untouched;
  EXPECT_FALSE(Reader(untouched)->Open(TestSound("announcement.flac")));
  EXPECT_EQ(0, untouched.opened);

  // Blocks of any size come out in whole 4-byte frames, all of them, in order.
  FakeSystem system;
  system.milliseconds = 1234;
  std::vector<uint8_t> expected;
  for (std::size_t size : {3, 5, 0, 13, 7}) {
    std::vector<uint8_t> block(size);
    for (uint8_t& byte : block)
      byte = static_cast<uint8_t>(expected.size() + (&byte - block.data()));
    expected.insert(expected.end(), block.begin(), block.end());
    system.blocks.push_back(block);
  }
  auto reader = Reader(system);
  ASSERT_TRUE(reader->Open(m4a)) << reader->GetErrorText();
  EXPECT_EQ(1234, reader->GetLength());
  int32_t last = 99;
  EXPECT_EQ(expected, ReadAll(*reader, last));
  EXPECT_EQ(0, last);

  // Without a length from the file, the sound is measured by decoding it.
  system.milliseconds = 0;
  system.blocks.assign(4, std::vector<uint8_t>(8000, 0));  // 8000 frames at 8000 Hz
  ASSERT_TRUE(reader->Open(m4a));
  EXPECT_EQ(1000, reader->GetLength());
  EXPECT_EQ(32000u, ReadAll(*reader, last).size());

  // A failure in the middle is reported by name.
  system.failAt = 2;
  system.milliseconds = 500;
  auto failing = Reader(system);
  ASSERT_TRUE(failing->Open(m4a));
  ReadAll(*failing, last);
  EXPECT_EQ(-1, last);
  EXPECT_EQ(SoundKindText(IDS_KIND_DAMAGED, BSoundKind::Mp4), failing->GetErrorText());
}

// A file that states no length and goes on for 10 minutes (stereo at 8000 Hz
// in blocks of 1 s): Open decodes no more than the 2 minutes any import
// could use and counts it as that long; Read still gives every block after.
TEST(SystemAudioFile, AFileWithoutALengthIsDecodedAheadOnlySoFar) {
  FakeSystem system;
  system.blocks.assign(600, std::vector<uint8_t>(32000, 1));
  auto reader = Reader(system);
  ASSERT_TRUE(reader->Open(TestSound("announcement.m4a"))) << reader->GetErrorText();
  EXPECT_EQ(static_cast<int32_t>(BSystemAudioFile::kMaxDecodedAheadSeconds * 1000),
            reader->GetLength());
  std::vector<uint8_t> buffer(1 << 20);
  uint64_t total = 0;
  int32_t count = 0;
  while (reader->Read(buffer.data(), static_cast<uint32_t>(buffer.size()), count))
    total += static_cast<uint64_t>(count);
  EXPECT_EQ(0, count);
  EXPECT_EQ(600u * 32000u, total);
}
