// The WAVE reader against the real multimedia file I/O and audio compression
// manager: PCM files written here, compressed ones made by sox at build time
// (their folder comes in SIRELTA_WAVE_FILES), and damaged files crafted here.
#include "audio/wave_file.h"
#include "platform/error_text.h"
#include "string_ids.h"
#include "toolkit/ui_text.h"
#include "win_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

void Append16(Bytes& bytes, uint32_t value) {
  bytes.push_back(static_cast<unsigned char>(value));
  bytes.push_back(static_cast<unsigned char>(value >> 8));
}

void Append32(Bytes& bytes, uint32_t value) {
  Append16(bytes, value & 0xFFFF);
  Append16(bytes, value >> 16);
}

Bytes Chunk(const char* id, const Bytes& data) {
  Bytes bytes(id, id + 4);
  Append32(bytes, static_cast<uint32_t>(data.size()));
  bytes.insert(bytes.end(), data.begin(), data.end());
  return bytes;
}

Bytes PcmFormat(uint16_t channels, uint32_t rate, uint16_t bits) {
  Bytes bytes;
  const uint16_t block = static_cast<uint16_t>(channels * bits / 8);
  Append16(bytes, 1);
  Append16(bytes, channels);
  Append32(bytes, rate);
  Append32(bytes, rate * block);
  Append16(bytes, block);
  Append16(bytes, bits);
  return bytes;
}

Bytes Riff(const char* formType, const std::vector<Bytes>& chunks) {
  Bytes body(formType, formType + 4);
  for (const Bytes& chunk : chunks) body.insert(body.end(), chunk.begin(), chunk.end());
  return Chunk("RIFF", body);
}

// Sound bytes that differ from sample to sample, so that a lost or repeated
// piece shows.
Bytes Pattern(size_t size) {
  Bytes bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(i * 7 + i / 251);
  return bytes;
}

struct ReadResult {
  Bytes sound;
  std::vector<int32_t> counts;
  bool endedCleanly = false;  // the last Read said "end" with a count of 0
  std::string endText;
};

ReadResult ReadToEnd(BWaveFile& file, uint32_t bufferSize) {
  ReadResult result;
  Bytes buffer(bufferSize);
  for (int calls = 0; calls < 100000; ++calls) {
    int32_t count = -2;
    if (!file.Read(buffer.data(), bufferSize, count)) {
      result.endedCleanly = count == 0;
      result.endText = file.GetErrorText();
      break;
    }
    result.counts.push_back(count);
    result.sound.insert(result.sound.end(), buffer.begin(), buffer.begin() + count);
  }
  return result;
}

std::string GeneratedFile(const char* name) {
  const std::string folder = EnvironmentText("SIRELTA_WAVE_FILES");
  if (folder.empty()) return std::string();
  std::string path = "Z:" + folder + "/" + name;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

const std::string kNoFormatText = "Wrong file format. Can't find fmt section.";

class WaveFileTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const Bytes& bytes) {
    const std::string path = m_folder.Path(name);
    WriteWholeFile(path, bytes);
    return path;
  }
  ScratchFolder m_folder;
};

// ---- PCM --------------------------------------------------------------------

TEST_F(WaveFileTest, PcmFilesOpenInTheirOwnFormatAndReadBackByteForByte) {
  struct Case {
    uint16_t channels;
    uint32_t rate;
    uint16_t bits;
  };
  const Case cases[] = {{1, 44100, 8}, {2, 44100, 16}, {1, 22050, 16},
                        {2, 22050, 8}, {1, 9765, 8},   {2, 9765, 16}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.channels) + " ch, " + std::to_string(c.rate) + " Hz, " +
                 std::to_string(c.bits) + " bit");
    const uint32_t block = c.channels * c.bits / 8;
    const uint32_t perSecond = c.rate * block;
    const uint32_t frames = c.rate * 5 / 2;  // 2.5 s, or just under
    const Bytes sound = Pattern(frames * block);
    BWaveFile file;
    ASSERT_TRUE(file.Open(
        Write("pcm.wav", Riff("WAVE", {Chunk("fmt ", PcmFormat(c.channels, c.rate, c.bits)),
                                       Chunk("data", sound)}))))
        << file.GetErrorText();
    EXPECT_FALSE(file.IsConverted());
    const BPcmFormat& format = file.GetFormat();
    EXPECT_EQ(1, format.formatTag);
    EXPECT_EQ(c.channels, format.channels);
    EXPECT_EQ(c.rate, format.samplesPerSec);
    EXPECT_EQ(c.bits, format.bitsPerSample);
    EXPECT_EQ(c.channels * c.bits / 8, format.blockAlign);
    EXPECT_EQ(perSecond, format.avgBytesPerSec);
    EXPECT_EQ(static_cast<int32_t>(frames * 1000.0 / c.rate), file.GetLength());

    // A buffer of three seconds still gets one second per call.
    const ReadResult read = ReadToEnd(file, perSecond * 3);
    EXPECT_TRUE(read.endedCleanly);
    EXPECT_EQ(GetErrorText(38), read.endText);
    EXPECT_EQ(sound, read.sound);
    ASSERT_EQ(3u, read.counts.size());
    EXPECT_EQ(static_cast<int32_t>(perSecond), read.counts[0]);
    EXPECT_EQ(static_cast<int32_t>(perSecond), read.counts[1]);
    EXPECT_EQ(static_cast<int32_t>(sound.size() - 2 * perSecond), read.counts[2]);
  }
}

TEST_F(WaveFileTest, SmallBuffersGetWholeSampleFrames) {
  const Bytes sound = Pattern(4000);
  BWaveFile file;
  ASSERT_TRUE(file.Open(Write(
      "s16.wav", Riff("WAVE", {Chunk("fmt ", PcmFormat(2, 22050, 16)), Chunk("data", sound)}))));
  const ReadResult read = ReadToEnd(file, 1001);
  EXPECT_EQ(sound, read.sound);
  for (int32_t count : read.counts) EXPECT_EQ(0, count % 4);
}

TEST_F(WaveFileTest, ChunksBetweenFormatAndDataAreSkippedAndChunksBehindAreNotRead) {
  const Bytes sound = Pattern(3000);
  const Bytes info =
      Chunk("LIST", {'I', 'N', 'F', 'O', 'I', 'S', 'F', 'T', 4, 0, 0, 0, 'a', 'b', 'c', 0});
  const Bytes trailer = Chunk("LIST", Bytes(500, 'x'));
  BWaveFile file;
  ASSERT_TRUE(file.Open(Write("chunks.wav", Riff("WAVE", {Chunk("fmt ", PcmFormat(1, 22050, 8)),
                                                          Chunk("fact", {1, 2, 3, 4}), info,
                                                          Chunk("data", sound), trailer}))))
      << file.GetErrorText();
  EXPECT_EQ(136, file.GetLength());  // 3000 bytes at 22050 per second
  const ReadResult read = ReadToEnd(file, 100000);
  EXPECT_TRUE(read.endedCleanly);
  EXPECT_EQ(sound, read.sound);
}

TEST_F(WaveFileTest, ADataChunkLongerThanTheFileEndsAtTheFileEnd) {
  const Bytes sound = Pattern(2205);
  Bytes bytes = Riff("WAVE", {Chunk("fmt ", PcmFormat(1, 22050, 8)), Chunk("data", sound)});
  for (int i = 0; i < 4; ++i) bytes[40 + i] = 0xFF;  // data size 0xFFFFFFFF
  BWaveFile file;
  ASSERT_TRUE(file.Open(Write("long.wav", bytes))) << file.GetErrorText();
  EXPECT_EQ(100, file.GetLength());
  EXPECT_EQ(sound, ReadToEnd(file, 100000).sound);
}

// ---- Refused files ------------------------------------------------------------

// A LIST chunk in front of the format is stepped over; a RIFF file of
// another kind and a format that describes no sound are refused.
TEST_F(WaveFileTest, RefusesFilesWithoutAUsableFormat) {
  const Bytes sound = Pattern(100);
  const Bytes listFirst =
      Riff("WAVE", {Chunk("LIST", {'I', 'N', 'F', 'O'}), Chunk("fmt ", PcmFormat(1, 22050, 8)),
                    Chunk("data", sound)});
  BWaveFile listed;
  ASSERT_TRUE(listed.Open(Write("list.wav", listFirst))) << listed.GetErrorText();
  EXPECT_EQ(sound, ReadToEnd(listed, 100000).sound);

  const Bytes video = Riff("AVI ", {Chunk("LIST", {'h', 'd', 'r', 'l'}), Chunk("JUNK", Bytes(16))});
  const Bytes silentFormat = Riff("WAVE", {Chunk("fmt ", Bytes(16)), Chunk("data", sound)});
  for (const Bytes& bytes : {video, silentFormat}) {
    BWaveFile file;
    EXPECT_FALSE(file.Open(Write("bad.wav", bytes)));
    EXPECT_EQ(kNoFormatText, file.GetErrorText());
    EXPECT_EQ(-1, file.GetLength());  // closed again
  }
}

TEST_F(WaveFileTest, RefusesTruncatedAndForeignFilesWithTheirTexts) {
  Bytes cutInFormat =
      Riff("WAVE", {Chunk("fmt ", PcmFormat(1, 22050, 8)), Chunk("data", Pattern(100))});
  cutInFormat.resize(30);
  Bytes cutBeforeData = cutInFormat;
  cutBeforeData = Riff("WAVE", {Chunk("fmt ", PcmFormat(1, 22050, 8))});
  const Bytes text = {'j', 'u', 's', 't', ' ', 's', 'o', 'm', 'e', ' ', 't', 'e', 'x', 't', '\n'};

  struct Case {
    const char* name;
    Bytes bytes;
    std::string text;
  };
  const Case cases[] = {{"cut in the format", cutInFormat, GetErrorText(38)},
                        {"no data chunk", cutBeforeData, "Chunk not found"},
                        {"a text file", text, "Chunk not found"},
                        {"an empty file", Bytes(), "Chunk not found"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BWaveFile file;
    EXPECT_FALSE(file.Open(Write("bad.wav", c.bytes)));
    EXPECT_EQ(c.text, file.GetErrorText());
  }
}

TEST_F(WaveFileTest, MissingFileGivesTheFileI_OText) {
  BWaveFile file;
  EXPECT_FALSE(file.Open(m_folder.Path("no such file.wav")));
  EXPECT_EQ("File not found.", file.GetErrorText());
}

TEST_F(WaveFileTest, ClosedReaderRefusesReadsAndCloseReleasesTheFile) {
  BWaveFile file;
  int32_t count = 5;
  unsigned char buffer[16];
  EXPECT_FALSE(file.Read(buffer, sizeof buffer, count));
  EXPECT_EQ(-1, count);
  EXPECT_EQ(GetErrorText(6), file.GetErrorText());
  EXPECT_EQ(-1, file.GetLength());

  const std::string path =
      Write("close.wav",
            Riff("WAVE", {Chunk("fmt ", PcmFormat(1, 22050, 8)), Chunk("data", Pattern(10))}));
  ASSERT_TRUE(file.Open(path));
  file.Close();
  file.Close();  // harmless twice
  EXPECT_TRUE(::DeleteFileW(Widen(path).c_str())) << GetErrorText(GetLastError());
}

// ---- Compressed formats through the converter ------------------------------------

// Mean distance between two 8-bit unsigned sounds over the shorter length.
double MeanDistance(const Bytes& a, const Bytes& b) {
  const size_t n = std::min(a.size(), b.size());
  double sum = 0;
  for (size_t i = 0; i < n; ++i) sum += std::fabs(static_cast<double>(a[i]) - b[i]);
  return n ? sum / n : 1e9;
}

Bytes ReferenceTone() {
  BWaveFile file;
  EXPECT_TRUE(file.Open(GeneratedFile("tone8.wav"))) << file.GetErrorText();
  return ReadToEnd(file, 100000).sound;
}

class CompressedWaveTest : public ::testing::TestWithParam<const char*> {};

TEST_P(CompressedWaveTest, DecodesToEightBitMonoAtTheSourceRate) {
  if (GeneratedFile("tone8.wav").empty()) GTEST_SKIP() << "SIRELTA_WAVE_FILES is not set";
  const Bytes reference = ReferenceTone();
  ASSERT_EQ(33075u, reference.size());  // 1.5 s at 22050 Hz

  BWaveFile file;
  ASSERT_TRUE(file.Open(GeneratedFile(GetParam()))) << file.GetErrorText();
  EXPECT_TRUE(file.IsConverted());
  const BPcmFormat& format = file.GetFormat();
  EXPECT_EQ(1, format.formatTag);
  EXPECT_EQ(8, format.bitsPerSample);
  EXPECT_EQ(1, format.channels);
  EXPECT_EQ(22050u, format.samplesPerSec);
  EXPECT_EQ(1, format.blockAlign);
  EXPECT_EQ(22050u, format.avgBytesPerSec);
  EXPECT_NEAR(1500, file.GetLength(), 15);

  // Each call takes at most one second of source, which is at most a second of output.
  const ReadResult read = ReadToEnd(file, 33075);
  EXPECT_TRUE(read.endedCleanly) << read.endText;
  EXPECT_GE(read.counts.size(), 2u);
  for (int32_t count : read.counts) EXPECT_LE(count, 22050);
  // ADPCM blocks may pad the end; no more than one block of samples is lost or added.
  EXPECT_NEAR(33075.0, static_cast<double>(read.sound.size()), 1100.0);
  EXPECT_LT(MeanDistance(reference, read.sound), 3.0) << "the decoded tone differs from the source";
}

TEST_P(CompressedWaveTest, ABufferSmallerThanOneSecondStillGetsEverything) {
  if (GeneratedFile("tone8.wav").empty()) GTEST_SKIP() << "SIRELTA_WAVE_FILES is not set";
  BWaveFile whole, pieces;
  ASSERT_TRUE(whole.Open(GeneratedFile(GetParam())));
  ASSERT_TRUE(pieces.Open(GeneratedFile(GetParam())));
  const ReadResult small = ReadToEnd(pieces, 3000);
  for (int32_t count : small.counts) EXPECT_LE(count, 3000);
  EXPECT_TRUE(small.endedCleanly) << small.endText;
  EXPECT_EQ(ReadToEnd(whole, 33075).sound, small.sound);
}

INSTANTIATE_TEST_SUITE_P(WaveFormats, CompressedWaveTest,
                         ::testing::Values("ima_adpcm.wav", "ms_adpcm.wav", "alaw.wav", "mulaw.wav",
                                           "ima_adpcm_stereo.wav"));

TEST_F(WaveFileTest, AFormatNoConverterReadsLeavesTheReaderOpenWithItsText) {
  Bytes format = PcmFormat(1, 22050, 8);
  format[0] = 0x34;  // a wave format tag no codec knows
  format[1] = 0x12;
  format.insert(format.end(), {0, 0});
  BWaveFile file;
  EXPECT_FALSE(file.Open(
      Write("odd.wav", Riff("WAVE", {Chunk("fmt ", format), Chunk("data", Pattern(11025))}))));
  // The text names the format, from the string table.
  EXPECT_EQ(Narrow(FormatText(LoadText(IDS_WAVE_FORMAT_UNSUPPORTED).c_str(), 0x1234ul, 8ul)),
            file.GetErrorText());
  EXPECT_EQ(0x1234, file.GetSourceFormat()->wFormatTag);
  EXPECT_EQ(500, file.GetLength());  // still open until Close
  file.Close();
  EXPECT_EQ(-1, file.GetLength());
}

}  // namespace
