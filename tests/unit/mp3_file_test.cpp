// BMP3File on MP3 files made by lame at build time, on damaged copies of
// them, and on random bytes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "audio/audio_string_ids.h"
#include "audio/mp3_file.h"
#include "platform/error_text.h"
#include "platform/text.h"
#include "test_files.h"

namespace {

std::string TestMp3(const std::string& name) {
  return std::string(SIRELTA_TEST_MP3_DIR) + "/" + name + ".mp3";
}

struct Decoded {
  std::vector<int16_t> samples;  // interleaved
  int reads = 0;
  int emptyReads = 0;
  int32_t lastCount = 99;
  bool failed = false;
};

// Reads until the end or a failure, checking what every Read returns.
Decoded ReadAll(BMP3File& reader, uint32_t bufferSize = 4608) {
  Decoded result;
  std::vector<uint8_t> buffer(bufferSize);
  for (int guard = 0; guard < 100000; ++guard) {
    int32_t count = 99;
    bool ok = reader.Read(buffer.data(), bufferSize, count);
    result.lastCount = count;
    if (!ok) {
      result.failed = count != 0;
      return result;
    }
    EXPECT_GE(count, 0);
    EXPECT_LE(count, 4608);
    ++result.reads;
    if (count == 0) ++result.emptyReads;
    for (int32_t i = 0; i + 1 < count; i += 2)
      result.samples.push_back(static_cast<int16_t>(buffer[i] | buffer[i + 1] << 8));
  }
  ADD_FAILURE() << "Read never ended";
  return result;
}

// The pitch of the first channel from the periods between its first and last
// upward crossings of a band around zero (the encoder's delay is near-silence).
double Frequency(const std::vector<int16_t>& samples, int channels, uint32_t rate) {
  const int kBand = 2000;
  int periods = -1;
  std::size_t first = 0, last = 0;
  bool low = false;
  for (std::size_t i = 0; i < samples.size() / channels; ++i) {
    int s = samples[i * channels];
    if (s < -kBand) low = true;
    if (low && s > kBand) {
      low = false;
      if (++periods == 0) first = i;
      last = i;
    }
  }
  return periods > 0 ? periods * static_cast<double>(rate) / (last - first) : 0.0;
}

double Rms(const std::vector<int16_t>& samples) {
  double sum = 0;
  for (int16_t s : samples) sum += static_cast<double>(s) * s;
  return samples.empty() ? 0 : std::sqrt(sum / samples.size());
}

struct ToneFile {
  const char* name;
  uint16_t channels;
  uint32_t rate;
  uint32_t samplesPerFrame;
};

class Mp3Tone : public ::testing::TestWithParam<ToneFile> {};

}  // namespace

TEST_P(Mp3Tone, OpensAndDecodesASineOfTheRightPitch) {
  const ToneFile& tone = GetParam();
  BMP3File reader;
  ASSERT_TRUE(reader.Open(TestMp3(tone.name))) << reader.GetErrorText();

  const BPcmFormat& format = reader.GetFormat();
  EXPECT_EQ(format.formatTag, 1);
  EXPECT_EQ(format.bitsPerSample, 16);
  EXPECT_EQ(format.channels, tone.channels);
  EXPECT_EQ(format.samplesPerSec, tone.rate);
  EXPECT_EQ(format.blockAlign, tone.channels * 2);
  EXPECT_EQ(format.avgBytesPerSec, tone.channels * 2 * tone.rate);

  // One second of sound, plus the encoder's delay and padding (at most
  // three frames) and the information frame lame writes first.
  double frameMs = tone.samplesPerFrame * 1000.0 / tone.rate;
  int32_t length = reader.GetLength();
  EXPECT_GE(length, 1000);
  EXPECT_LE(length, 1000 + 4 * frameMs);
  for (const BMp3FrameRecord& frame : reader.GetFrames())
    ASSERT_EQ(frame.samplesPerFrame, static_cast<int32_t>(tone.samplesPerFrame));

  Decoded decoded = ReadAll(reader);
  EXPECT_FALSE(decoded.failed) << reader.GetErrorText();
  EXPECT_EQ(decoded.lastCount, 0);
  EXPECT_EQ(reader.GetErrorText(), GetErrorText(EndOfFileSystemError()));
  EXPECT_EQ(decoded.emptyReads, 0);  // the information frame is passed within a Read

  // Every frame gives sound, except the information frame when the decoder
  // recognises it (it does when the frame is long enough to hold the whole
  // information header): the sound is the length, or a frame less.
  double decodedMs = decoded.samples.size() / tone.channels * 1000.0 / tone.rate;
  EXPECT_GE(decodedMs, length - frameMs);
  EXPECT_LE(decodedMs, length + 1.0);
  int frames = static_cast<int>(reader.GetFrames().size());
  EXPECT_TRUE(decoded.reads == frames || decoded.reads == frames - 1) << decoded.reads;

  EXPECT_NEAR(Frequency(decoded.samples, tone.channels, tone.rate), 440.0, 440.0 * 0.02);
  EXPECT_GT(Rms(decoded.samples), 0.5 * 32767 / std::sqrt(2.0) * 0.8);

  // Past the end it stays at the end.
  std::vector<uint8_t> buffer(4608);
  int32_t count = 99;
  EXPECT_FALSE(reader.Read(buffer.data(), 4608, count));
  EXPECT_EQ(count, 0);
}

INSTANTIATE_TEST_SUITE_P(Lame, Mp3Tone,
                         ::testing::Values(ToneFile{"tone_44100_1ch", 1, 44100, 1152},
                                           ToneFile{"tone_44100_2ch", 2, 44100, 1152},
                                           ToneFile{"tone_22050_1ch", 1, 22050, 576},
                                           ToneFile{"tone_22050_2ch", 2, 22050, 576},
                                           ToneFile{"tone_11025_1ch", 1, 11025, 576},
                                           ToneFile{"tone_11025_2ch", 2, 11025, 576},
                                           ToneFile{"tone_8000_1ch", 1, 8000, 576},
                                           ToneFile{"tone_8000_2ch", 2, 8000, 576}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Mp3File, ClosedAndMissingFiles) {
  BMP3File reader;
  std::vector<uint8_t> buffer(4608);
  int32_t count = 0;
  EXPECT_FALSE(reader.Read(buffer.data(), 4608, count));
  EXPECT_EQ(count, -1);
  EXPECT_EQ(reader.GetErrorText(), GetErrorText(InvalidHandleSystemError()));
  EXPECT_EQ(reader.GetLength(), -1);

  TestFolder folder;
  EXPECT_FALSE(reader.Open(folder.File("missing.mp3")));
  EXPECT_EQ(reader.GetErrorText(), GetErrorText(ENOENT));
  EXPECT_EQ(reader.GetLength(), -1);

  // Files without a frame say so, not that the file ended.
  WriteBytes(folder.File("empty.mp3"), {});
  EXPECT_FALSE(reader.Open(folder.File("empty.mp3")));
  EXPECT_EQ(reader.GetErrorText(), FormatUtf8Text(BText(IDS_NO_MPEG_FRAME)));
  WriteBytes(folder.File("text.mp3"), {'t', 'e', 'x', 't', 0xFF, 0xFB});
  EXPECT_FALSE(reader.Open(folder.File("text.mp3")));
  EXPECT_EQ(reader.GetErrorText(), FormatUtf8Text(BText(IDS_NO_MPEG_FRAME)));

  // A folder opens but cannot be read.
  EXPECT_FALSE(reader.Open(folder.Path()));
  EXPECT_EQ(reader.GetErrorText(), GetErrorText(EISDIR));

  reader.Close();
  reader.Close();
}

TEST(Mp3File, DamagedFiles) {
  TestFolder folder;
  std::vector<uint8_t> original = ReadBytes(TestMp3("tone_44100_2ch"));
  BMP3File reader;
  ASSERT_TRUE(reader.Open(TestMp3("tone_44100_2ch")));
  std::size_t frameCount = reader.GetFrames().size();
  std::size_t sampleCount = ReadAll(reader).samples.size();

  // Ending inside a header or inside the last frame: the whole frames
  // before it are the sound, and GetLength counts only them.
  std::vector<uint8_t> cutHeader = original;
  cutHeader.insert(cutHeader.end(), {0xFF, 0xFB, 0x90});
  std::vector<uint8_t> cutFrame(original.begin(), original.end() - 100);
  for (const auto& cut : {cutHeader, cutFrame}) {
    WriteBytes(folder.File("cut.mp3"), cut);
    ASSERT_TRUE(reader.Open(folder.File("cut.mp3"))) << reader.GetErrorText();
    const std::size_t whole = cut.size() > original.size() ? frameCount : frameCount - 1;
    EXPECT_EQ(reader.GetFrames().size(), whole);
    EXPECT_EQ(reader.GetLength(), static_cast<int32_t>(whole * 1152 * 1000.0 / 44100));
    Decoded decoded = ReadAll(reader);
    EXPECT_FALSE(decoded.failed) << reader.GetErrorText();
    EXPECT_EQ(decoded.samples.size(), sampleCount - (frameCount - whole) * 2304);
  }

  // A tag with a picture in front changes nothing.
  std::vector<uint8_t> tagged = {'I', 'D', '3',  3,    0,    0,    0, 0,
                                 0,   20,  0xFF, 0xD8, 0xFF, 0xE0, 0, 16};
  tagged.insert(tagged.end(), 20, 'x');
  tagged.insert(tagged.end(), original.begin(), original.end());
  WriteBytes(folder.File("tagged.mp3"), tagged);
  ASSERT_TRUE(reader.Open(folder.File("tagged.mp3"))) << reader.GetErrorText();
  EXPECT_EQ(reader.GetFrames().size(), frameCount);
  EXPECT_EQ(reader.GetFrames()[0].offset, 36u);
  EXPECT_EQ(ReadAll(reader).samples.size(), sampleCount);

  // An invalid header as the very first: the frames behind it are found.
  std::vector<uint8_t> invalid = {0xFF, 0xFB, 0xF0, 0x00};
  invalid.insert(invalid.end(), original.begin(), original.end());
  WriteBytes(folder.File("invalid.mp3"), invalid);
  ASSERT_TRUE(reader.Open(folder.File("invalid.mp3")));
  EXPECT_EQ(reader.GetFrames().size(), frameCount);
  EXPECT_EQ(reader.GetFormat().channels, 2);
  EXPECT_EQ(ReadAll(reader).samples.size(), sampleCount);

  // A file that shrinks while open: the reads fail with the end-of-file text.
  WriteBytes(folder.File("shrinks.mp3"), original);
  ASSERT_TRUE(reader.Open(folder.File("shrinks.mp3")));
  ASSERT_EQ(truncate(folder.File("shrinks.mp3").c_str(), original.size() / 2), 0);
  Decoded half = ReadAll(reader);
  EXPECT_TRUE(half.failed);
  EXPECT_EQ(half.lastCount, -1);
  EXPECT_EQ(reader.GetErrorText(), GetErrorText(EndOfFileSystemError()));
  EXPECT_GT(half.samples.size(), sampleCount / 3);
  EXPECT_LT(half.samples.size(), sampleCount * 2 / 3);
}

// What lame writes with --ti (an ID3v2 tag whose picture holds frames of
// another file, and an ID3v1 tag) decodes to the sound of the untagged file.
TEST(Mp3File, TaggedFilesFromLame) {
  BMP3File reader;
  ASSERT_TRUE(reader.Open(TestMp3("tone_44100_2ch")));
  const std::size_t frames = reader.GetFrames().size();
  const std::vector<int16_t> plain = ReadAll(reader).samples;

  ASSERT_TRUE(reader.Open(TestMp3("tagged_44100_2ch"))) << reader.GetErrorText();
  EXPECT_EQ(reader.GetFrames().size(), frames);
  EXPECT_EQ(ReadAll(reader).samples, plain);
}

TEST(Mp3File, SmallBuffersAreRefusedFrameByFrame) {
  BMP3File reader;
  ASSERT_TRUE(reader.Open(TestMp3("tone_8000_1ch")));
  std::size_t frames = reader.GetFrames().size();
  Decoded refused = ReadAll(reader, 4607);
  EXPECT_FALSE(refused.failed);
  EXPECT_EQ(refused.reads, static_cast<int>(frames));
  EXPECT_EQ(refused.emptyReads, refused.reads);

  // The reader can be opened again and then decodes from the start.
  ASSERT_TRUE(reader.Open(TestMp3("tone_8000_1ch")));
  EXPECT_GT(ReadAll(reader, 8000).samples.size(), 7000u);
}

TEST(Mp3File, SurvivesDamagedAndRandomBytes) {
  TestFolder folder;
  std::string path = folder.File("fuzz.mp3");
  std::vector<std::vector<uint8_t>> seeds = {ReadBytes(TestMp3("tone_44100_2ch")),
                                             ReadBytes(TestMp3("tone_22050_1ch")),
                                             ReadBytes(TestMp3("tone_8000_2ch"))};
  std::mt19937 random(20261207);
  int opened = 0, decodedSomething = 0;
  const int kRuns = 150;
  for (int run = 0; run < kRuns; ++run) {
    std::vector<uint8_t> bytes;
    if (run % 5 == 4) {
      bytes.resize(random() % 5000);
      for (uint8_t& b : bytes) b = static_cast<uint8_t>(random() % 4 == 0 ? 0xFF : random());
    } else {
      bytes = seeds[run % seeds.size()];
      int changes = 1 + random() % 40;
      for (int i = 0; i < changes; ++i)
        bytes[random() % bytes.size()] = static_cast<uint8_t>(random());
      if (run % 3 == 0) bytes.resize(random() % bytes.size());
    }
    WriteBytes(path, bytes);
    BMP3File reader;
    if (!reader.Open(path)) continue;
    ++opened;
    EXPECT_GE(reader.GetLength(), 0);
    Decoded decoded = ReadAll(reader);
    if (!decoded.samples.empty()) ++decodedSomething;
  }
  // Most damaged copies still open and give sound.
  EXPECT_GT(opened, kRuns / 2);
  EXPECT_GT(decodedSomething, kRuns / 3);
}
