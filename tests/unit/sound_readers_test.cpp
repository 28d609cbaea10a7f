// The readers of FLAC, Ogg Vorbis, Opus and MPEG audio on one spoken
// announcement made at build time by flac, oggenc, opusenc, ffmpeg and lame
// (tests/data/make_test_sounds.sh), against the plain WAVE file it was made
// from; MP3 files cut anywhere in their first frames; and the refusals of
// files that are not of a kind the program reads.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "audio/audio_source.h"
#include "audio/flac_file.h"
#include "audio/mp3_file.h"
#include "audio/mp3_frame_scan.h"
#include "audio/sound_file_kind.h"
#include "platform/text.h"
#include "test_files.h"
#include "audio/audio_string_ids.h"
#include "tests/unit/sound_match.h"

namespace {

std::string TestSound(const std::string& name) {
  return std::string(SIRELTA_TEST_SOUNDS_DIR) + "/" + name;
}

// The sound of the plain file as it is: sox writes a 44-byte header.
class PlainWaveReader : public BAudioFile {
 public:
  bool Open(const std::string& path) override {
    m_bytes = ReadBytes(path);
    if (m_bytes.size() < 44 || std::memcmp(m_bytes.data() + 36, "data", 4) != 0) return false;
    m_format = {1, 2, 44100, 44100 * 4, 4, 16};
    m_position = 44;
    return true;
  }
  void Close() override {}
  int32_t GetLength() override {
    return static_cast<int32_t>((m_bytes.size() - 44) / 4 * 1000 / 44100);
  }
  bool Read(uint8_t* buffer, uint32_t size, int32_t& count) override {
    count = static_cast<int32_t>(std::min<std::size_t>(size, m_bytes.size() - m_position));
    std::memcpy(buffer, m_bytes.data() + m_position, static_cast<std::size_t>(count));
    m_position += static_cast<std::size_t>(count);
    return count > 0;
  }

 private:
  std::vector<uint8_t> m_bytes;
  std::size_t m_position = 0;
};

struct Imported {
  int32_t milliseconds = -1;
  std::vector<int8_t> siren;  // the sound in the siren's format
  std::string error;
};

Imported Import(BAudioSource& source, const std::string& path) {
  Imported result;
  if (!source.Open(path)) {
    result.error = source.GetErrorText();
    return result;
  }
  result.milliseconds = source.GetLength();
  if (!source.Convert(9765, 600000)) result.error = source.GetErrorText();
  uint32_t length = 0;
  const uint8_t* data = source.GetData(length);
  result.siren.assign(data, data + length);
  return result;
}

}  // namespace

// Each kind imports with the sound of the plain file: FLAC to the same bytes,
// the lossy kinds as close as their codecs allow, all at the plain file's length.
TEST(SoundReaders, EveryKindImportsWithTheSoundOfThePlainFile) {
  BAudioSource plainSource({[] { return std::unique_ptr<BAudioFile>(new PlainWaveReader()); }});
  const Imported plain = Import(plainSource, TestSound("announcement.wav"));
  ASSERT_TRUE(plain.error.empty()) << plain.error;
  ASSERT_GT(plain.siren.size(), 50000u);

  BAudioSource flacSource;
  const Imported flac = Import(flacSource, TestSound("announcement.flac"));
  ASSERT_TRUE(flac.error.empty()) << flac.error;
  EXPECT_EQ(plain.milliseconds, flac.milliseconds);
  EXPECT_EQ(plain.siren, flac.siren) << "FLAC is lossless";

  // Least match: what each codec reached here, less a margin (a wrong rate
  // or garbled sound gives about 0 dB). Codecs pad the end; the cut file
  // lacks its first frames.
  const struct {
    const char* name;
    double decibels;
    int32_t lengthTolerance;
  } lossy[] = {{"announcement.ogg", 15, 5},
               {"announcement.opus", 15, 10},
               {"announcement.mp3", 10, 80},
               {"announcement.mp2", 8, 30},
               {"cut_start.mp3", 10, 120}};
  for (const auto& kind : lossy) {
    SCOPED_TRACE(kind.name);
    BAudioSource source;
    const Imported sound = Import(source, TestSound(kind.name));
    ASSERT_TRUE(sound.error.empty()) << sound.error;
    EXPECT_NEAR(plain.milliseconds, sound.milliseconds, kind.lengthTolerance);
    EXPECT_NEAR(static_cast<double>(plain.siren.size()), static_cast<double>(sound.siren.size()),
                kind.lengthTolerance * 9.765 + 60);
    const double decibels = MatchDecibels(plain.siren, sound.siren);
    std::printf("%s: %d ms, %zu siren samples, %.1f dB from the plain file\n", kind.name,
                sound.milliseconds, sound.siren.size(), decibels);
    EXPECT_GT(decibels, kind.decibels);
  }
}

// A stream captured late, a partial download or junk in front: cut at every
// offset of its first frames, the MP3 keeps its rate, and only whole frames of
// its own stream are indexed. The reader opens such a file at that rate.
TEST(SoundReaders, AnMp3CutAnywhereKeepsItsRateAndLength) {
  const std::vector<uint8_t> mp3 = ReadBytes(TestSound("announcement.mp3"));
  std::vector<BMp3FrameRecord> whole;
  BMp3MemorySource wholeSource(mp3.data(), mp3.size());
  ASSERT_EQ(ScanMp3Frames(wholeSource, whole), BMp3ScanOutcome::Complete);
  const int32_t length = Mp3SoundLength(whole);
  int wrong = 0;
  for (std::size_t cut = 1; cut < 3000; ++cut) {
    BMp3MemorySource source(mp3.data() + cut, mp3.size() - cut);
    std::vector<BMp3FrameRecord> frames;
    ASSERT_EQ(ScanMp3Frames(source, frames), BMp3ScanOutcome::Complete);
    // The frames from the first one the cut left whole are all there, and nothing else.
    std::size_t kept = 0;
    while (kept < whole.size() && whole[kept].offset < cut) ++kept;
    bool same = frames.size() == whole.size() - kept;
    for (std::size_t i = 0; same && i < frames.size(); ++i)
      same = frames[i].offset + cut == whole[kept + i].offset && frames[i].sampleRate == 44100;
    if (!same && ++wrong <= 3) ADD_FAILURE() << "cut at " << cut << ": " << frames.size();
  }
  EXPECT_EQ(0, wrong);

  BMP3File reader;
  ASSERT_TRUE(reader.Open(TestSound("cut_start.mp3"))) << reader.GetErrorText();
  EXPECT_EQ(44100u, reader.GetFormat().samplesPerSec);
  EXPECT_NEAR(length, reader.GetLength(), 6 * 26.2);
}

// Files of kinds the program does not read, or damaged ones, are refused with
// the name of their kind, and no reader takes another kind's file for its own.
TEST(SoundReaders, OtherKindsAreRefusedByName) {
  TestFolder folder;
  std::vector<uint8_t> flac = ReadBytes(TestSound("announcement.flac"));
  flac.resize(30);  // the stream header cut
  WriteBytes(folder.File("damaged.flac"), flac);
  WriteBytes(folder.File("notes.txt"), std::vector<uint8_t>(100, 'a'));
  const struct {
    std::string path;
    std::string reason;
  } cases[] = {
      {TestSound("announcement.aiff"), SoundKindText(IDS_KIND_NOT_READ, BSoundKind::Aiff)},
      // Without the system's decoder, as in this build and on a system without one.
      {TestSound("announcement.m4a"), SoundKindText(IDS_KIND_NOT_READ, BSoundKind::Mp4)},
      {TestSound("announcement.wma"), SoundKindText(IDS_KIND_NOT_READ, BSoundKind::Asf)},
      {folder.File("damaged.flac"), SoundKindText(IDS_KIND_DAMAGED, BSoundKind::Flac)},
      {folder.File("notes.txt"), FormatUtf8Text(BText(IDS_NO_MPEG_FRAME))},
  };
  for (const auto& c : cases) {
    BAudioSource source;
    EXPECT_FALSE(source.Open(c.path)) << c.path;
    EXPECT_EQ(c.reason, source.GetErrorText()) << c.path;
  }
  // The MP3 reader alone no longer finds "frames" in other kinds.
  for (const char* name : {"announcement.flac", "announcement.wav", "announcement.opus"}) {
    BMP3File reader;
    EXPECT_FALSE(reader.Open(TestSound(name))) << name;
    EXPECT_FALSE(reader.IsRecognised());
  }
  BFlacFile flacReader;
  EXPECT_FALSE(flacReader.Open(TestSound("announcement.ogg")));
  EXPECT_FALSE(flacReader.IsRecognised());
}
