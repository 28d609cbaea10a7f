// Importing sound files through the main window: placement, the offer to
// cut, the limits, dropped files and unreadable files.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "audio/sound_file_kind.h"
#include "platform/text.h"
#include "panels_check.h"
#include "string_ids.h"
#include "test_main_window.h"
#include "tests/unit/sound_match.h"
#include "win_test_support.h"

namespace {

std::vector<uint8_t> Ramp(size_t count) {
  std::vector<uint8_t> samples(count);
  for (size_t i = 0; i < count; ++i) samples[i] = static_cast<uint8_t>(i);
  return samples;
}

std::string GeneratedFile(const char* variable, const std::string& name) {
  std::string path = "Z:" + EnvironmentText(variable) + "/" + name;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

void Occupy(BProfile& profile, int slot, uint32_t start, uint32_t length) {
  BFragment fragment;
  fragment.name = "f" + std::to_string(slot);
  fragment.start = start;
  fragment.length = length;
  profile.SetFragment(slot, fragment);
}

class MainWindowImportTest : public ::testing::Test {
 protected:
  void SetUp() override { DeleteSettingsKey(); }
  void TearDown() override { DeleteSettingsKey(); }
  // Starts the window with the profile made by `fill`.
  void Start(void (*fill)(BProfile&)) {
    BProfile profile;
    fill(profile);
    std::string path = folder.Path("start.zpf");
    ASSERT_TRUE(profile.Save(path));
    WriteSettingsValue("Profile", REG_SZ, path.c_str(), static_cast<DWORD>(path.size() + 1));
    ASSERT_TRUE(window.Start());
  }
  int Rows() {
    return static_cast<int>(
        ::SendMessageW(window.GetItem(IDC_FRAGMENT_LIST), LVM_GETITEMCOUNT, 0, 0));
  }

  ScratchFolder folder;
  TestMainDlg window;
};

// Free: 1000..4000 and 6000..9000; the rest is taken.
void TwoGaps(BProfile& profile) {
  Occupy(profile, 0, 0, 1000);
  Occupy(profile, 1, 4000, 2000);
  Occupy(profile, 2, 9000, kImageSize - 9000);
}

TEST_F(MainWindowImportTest, ASoundGoesIntoTheFirstBlockThatHoldsIt) {
  Start(TwoGaps);
  std::string path = folder.Path("short.tone.wav");
  WriteWave(path, 9765, Ramp(2929));  // 0.3 s
  window.audioPaths = {path};
  window.Command(IDC_ADD_FRAGMENT, BN_CLICKED);
  ASSERT_TRUE(window.boxes.empty()) << Narrow(window.boxes[0].text);
  const BFragment& fragment = window.GetProfile().GetFragment(3);
  EXPECT_EQ("short.tone", fragment.name);
  EXPECT_EQ(1000u, fragment.start);
  EXPECT_EQ(2929u, fragment.length);
  EXPECT_EQ(static_cast<uint8_t>(5 - 128), window.GetProfile().Image()[1005])
      << "the siren's bytes are signed";
  EXPECT_EQ(4, Rows());
  EXPECT_EQ(4, window.MemoryView().GetBandCount());
  EXPECT_EQ(5,
            static_cast<int>(::SendMessageW(window.GetItem(IDC_BUTTON3_COMBO), CB_GETCOUNT, 0, 0)));
  EXPECT_TRUE(window.IsModified());
}

TEST_F(MainWindowImportTest, ASoundThatFitsNowhereIsOfferedCut) {
  Start(TwoGaps);
  std::string path = folder.Path("half.wav");
  WriteWave(path, 9765, Ramp(4882));  // 0.5 s: more than a gap, less than both
  window.audioPaths = {path};
  window.answers = {IDNO};
  window.Command(IDC_ADD_FRAGMENT, BN_CLICKED);
  ASSERT_EQ(1u, window.boxes.size());
  EXPECT_EQ(FormatText(Text(IDS_NOT_ENOUGH_ROOM_UNTIL_DEFRAGMENT).c_str(), Widen(path).c_str(),
                       L"00:00.307", L"00:00.499"),
            window.boxes[0].text);
  EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONWARNING), window.boxes[0].type);
  EXPECT_EQ(3, Rows()) << "No imports nothing";
  EXPECT_FALSE(window.IsModified());

  window.audioPaths = {path};
  window.answers = {IDYES};
  window.Command(IDC_ADD_FRAGMENT, BN_CLICKED);
  EXPECT_EQ(1000u, window.GetProfile().GetFragment(3).start)
      << "the earliest of the largest blocks";
  EXPECT_EQ(3000u, window.GetProfile().GetFragment(3).length) << "cut to the block";

  std::string longer = folder.Path("long.wav");
  WriteWave(longer, 9765, Ramp(9765));  // 1 s: more than all the room left
  window.audioPaths = {longer};
  window.answers = {IDNO};
  window.Command(IDC_ADD_FRAGMENT, BN_CLICKED);
  EXPECT_EQ(0u, window.boxes.back().text.find(FormatText(Text(IDS_NOT_ENOUGH_ROOM).c_str(),
                                                         Widen(longer).c_str(), L"00:00.307",
                                                         L"00:01.000")));
}

void Sixteen(BProfile& profile) {
  for (int slot = 0; slot < 16; ++slot) Occupy(profile, slot, slot * 100, 100);
}

void Full(BProfile& profile) { Occupy(profile, 0, 0, kImageSize); }

TEST_F(MainWindowImportTest, LimitsAreReportedBeforeAnyDialog) {
  Start(Sixteen);
  window.Command(IDC_ADD_FRAGMENT, BN_CLICKED);
  ASSERT_EQ(1u, window.boxes.size());
  EXPECT_EQ(FormatText(Text(IDS_TOO_MANY_FRAGMENTS).c_str(), 16), window.boxes[0].text);
}

TEST_F(MainWindowImportTest, AFullMemoryIsReported) {
  Start(Full);
  window.Command(IDC_ADD_FRAGMENT, BN_CLICKED);
  ASSERT_EQ(1u, window.boxes.size());
  EXPECT_EQ(Text(IDS_NO_FREE_MEMORY), window.boxes[0].text);
}

void Fifteen(BProfile& profile) {
  for (int slot = 0; slot < 15; ++slot) Occupy(profile, slot, slot * 100, 100);
}

TEST_F(MainWindowImportTest, DroppedFilesStopAtTheFirstThatCannotBeImported) {
  Start(Fifteen);
  std::vector<std::string> paths = {folder.Path("one.wav"), folder.Path("two.wav"),
                                    folder.Path("three.wav")};
  for (const std::string& path : paths) WriteWave(path, 9765, Ramp(500));
  window.DropFiles(paths);
  EXPECT_EQ(16, Rows());
  EXPECT_EQ("one", window.GetProfile().GetFragment(15).name);
  ASSERT_EQ(1u, window.boxes.size());
  EXPECT_EQ(
      FormatText(Text(IDS_DROPPED_FILE_TOO_MANY_FRAGMENTS).c_str(), Widen(paths[1]).c_str(), 16),
      window.boxes[0].text);
}

// Files named as phones name them, in scripts beyond any code page, come in
// by a real drop (the shell's wide file names) and keep their names through a
// profile whose own name leaves the code page too.
TEST_F(MainWindowImportTest, NamesInAnyScriptSurviveADropAndTheProfile) {
  Start([](BProfile&) {});
  const std::wstring name = L"Қазақша 日本 ёж 🔔";
  const std::string path = folder.Path(Narrow(name) + ".wav");
  WriteWave(path, 9765, Ramp(500));
  const std::wstring wide = Widen(path);
  HGLOBAL memory = ::GlobalAlloc(GHND, sizeof(DROPFILES) + (wide.size() + 2) * sizeof(wchar_t));
  auto* drop = static_cast<DROPFILES*>(::GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  std::copy(wide.begin(), wide.end(), reinterpret_cast<wchar_t*>(drop + 1));
  ::GlobalUnlock(memory);
  ::SendMessageW(window.GetHwnd(), WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
  ASSERT_TRUE(window.boxes.empty()) << Narrow(window.boxes[0].text);
  EXPECT_EQ(name, RowText(window.GetItem(IDC_FRAGMENT_LIST), 0));

  const std::string profile = folder.Path("Профиль ✓ 2026.zpf");
  window.savePaths = {profile};
  window.Command(ID_FILE_SAVE_AS);
  window.Command(ID_FILE_NEW);
  window.openPaths = {profile};
  window.Command(ID_FILE_OPEN);
  EXPECT_TRUE(window.boxes.empty());
  EXPECT_EQ(profile, window.GetProfilePath());
  EXPECT_EQ(name, RowText(window.GetItem(IDC_FRAGMENT_LIST), 0));
}

TEST_F(MainWindowImportTest, AFileThatIsNoSoundIsRefusedWithTheTrueReason) {
  Start(TwoGaps);
  std::string path = folder.Path("notes.txt");
  std::ofstream(path) << "nothing to hear here";
  // A WAVE file in a format that neither the reader nor the system knows.
  std::string odd = folder.Path("odd.wav");
  WriteWave(odd, 8000, Ramp(800));
  std::fstream(odd, std::ios::in | std::ios::out | std::ios::binary).seekp(20).write("\x34\x12", 2);
  const struct {
    std::string path;
    std::wstring reason;
  } cases[] = {{path, Text(IDS_NO_MPEG_FRAME)},
               {odd, FormatText(Text(IDS_WAVE_FORMAT_UNSUPPORTED).c_str(), 0x1234ul, 8ul)},
               {GeneratedFile("SIRELTA_TEST_SOUNDS", "announcement.aiff"),
                Widen(SoundKindText(IDS_KIND_NOT_READ, BSoundKind::Aiff))}};
  for (const auto& c : cases) {
    window.boxes.clear();
    window.audioPaths = {c.path};
    window.Command(IDC_ADD_FRAGMENT, BN_CLICKED);
    ASSERT_EQ(1u, window.boxes.size());
    EXPECT_EQ(FormatText(Text(IDS_AUDIO_FILE_OPEN_FAILED).c_str(), Widen(c.path).c_str(),
                         c.reason.c_str()),
              window.boxes[0].text);
  }
  EXPECT_EQ(3, Rows());
  EXPECT_FALSE(window.IsModified());
}

void Empty(BProfile&) {}

// The sound files people have, made by sox and lame at build time, through
// the add-fragment command: float, 24-bit extensible and odd-chunk WAVE files
// give the bytes of the plain 16-bit file of the same sound (float within 1),
// the MP3 with lame's tags those of the untagged one, and the MP3 cut inside
// its last frame every frame before it.
TEST_F(MainWindowImportTest, SoundFilesOfEveryKindImportLikeTheirPlainForm) {
  if (!std::getenv("SIRELTA_WAVE_FILES") || !std::getenv("SIRELTA_TEST_MP3_DIR"))
    GTEST_SKIP() << "the generated sound files are not there";
  Start(Empty);
  auto import = [&](const std::string& path) {
    window.boxes.clear();
    window.audioPaths = {path};
    window.Command(IDC_ADD_FRAGMENT, BN_CLICKED);
    EXPECT_TRUE(window.boxes.empty()) << path << ": " << Narrow(window.boxes[0].text);
    const BFragment& fragment = window.GetProfile().GetFragment(Rows() - 1);
    const uint8_t* image = window.GetProfile().Image();
    return std::vector<int8_t>(image + fragment.start, image + fragment.start + fragment.length);
  };
  const std::vector<int8_t> stereo = import(GeneratedFile("SIRELTA_WAVE_FILES", "s16.wav"));
  const std::vector<int8_t> mono = import(GeneratedFile("SIRELTA_WAVE_FILES", "m16.wav"));
  ASSERT_GT(stereo.size(), 14000u);  // 1.5 s
  for (const char* name : {"extensible24.wav", "odd_chunk.wav", "float32.wav", "float64.wav"}) {
    SCOPED_TRACE(name);
    const std::vector<int8_t>& plain = name[0] == 'e' ? mono : stereo;
    const std::vector<int8_t> sound = import(GeneratedFile("SIRELTA_WAVE_FILES", name));
    ASSERT_EQ(plain.size(), sound.size());
    int largest = 0;
    for (size_t i = 0; i < sound.size(); ++i)
      largest = std::max(largest, std::abs(sound[i] - plain[i]));
    EXPECT_LE(largest, std::string(name).find("float") == 0 ? 1 : 0);
  }

  const std::vector<int8_t> mp3 =
      import(GeneratedFile("SIRELTA_TEST_MP3_DIR", "tone_44100_2ch.mp3"));
  EXPECT_EQ(mp3, import(GeneratedFile("SIRELTA_TEST_MP3_DIR", "tagged_44100_2ch.mp3")));
  // One frame of 1152 samples at 44100 Hz is 255 siren samples; the last few
  // before the cut differ as the resampler looks ahead. Elsewhere a sample
  // may differ by one step: the resampler's arithmetic over a shorter sound
  // can land a value on the other side of a rounding step (it did with some
  // of the generated files, whose dither sox once chose at random).
  const std::vector<int8_t> cut =
      import(GeneratedFile("SIRELTA_TEST_MP3_DIR", "cut_44100_2ch.mp3"));
  EXPECT_NEAR(static_cast<double>(mp3.size() - 255), static_cast<double>(cut.size()), 2.0);
  ASSERT_GT(cut.size(), 10u);
  int largestCutDifference = 0;
  for (size_t i = 0; i + 10 < cut.size(); ++i)
    largestCutDifference = std::max(largestCutDifference, std::abs(cut[i] - mp3[i]));
  EXPECT_LE(largestCutDifference, 1);
  EXPECT_EQ(9, Rows());
}

// One announcement in every kind people bring, made by sox, ffmpeg, flac,
// oggenc, opusenc and lame, through the add-fragment command: lossless
// kinds and the WAVE files with chunks in front of the format or with sizes
// left at 0 give the plain file's bytes, 24-bit samples in 4-byte blocks those
// of the ordinary 24-bit file, the lossy kinds (the system decodes MPEG-4 and
// Windows Media) the plain file's sound as close as their codecs allow.
TEST_F(MainWindowImportTest, RecordingsOfEveryKindImportWithTheSoundOfThePlainFile) {
  if (!std::getenv("SIRELTA_TEST_SOUNDS"))
    GTEST_SKIP() << "the generated sound files are not there";
  Start(Empty);
  auto import = [&](const char* name) {
    window.boxes.clear();
    window.audioPaths = {GeneratedFile("SIRELTA_TEST_SOUNDS", name)};
    window.Command(IDC_ADD_FRAGMENT, BN_CLICKED);
    EXPECT_TRUE(window.boxes.empty()) << name << ": " << Narrow(window.boxes[0].text);
    const BFragment& fragment = window.GetProfile().GetFragment(0);
    const uint8_t* image = window.GetProfile().Image();
    std::vector<int8_t> sound(image + fragment.start, image + fragment.start + fragment.length);
    // The memory holds four of them: each goes again, selected as it is.
    window.answers = {IDYES};
    window.Command(IDC_DELETE_FRAGMENT, BN_CLICKED);
    EXPECT_EQ(0, Rows());
    return sound;
  };
  const std::vector<int8_t> plain = import("announcement.wav");
  ASSERT_GT(plain.size(), 50000u);
  for (const char* name : {"announcement.flac", "junk_first.wav", "zero_sizes.wav"})
    EXPECT_EQ(plain, import(name)) << name;
  EXPECT_EQ(import("mono24.wav"), import("wide_blocks.wav"));
  for (const char* name : {"announcement.ogg", "announcement.opus", "announcement.mp2",
                           "cut_start.mp3", "announcement.m4a", "announcement.wma"}) {
    const std::vector<int8_t> sound = import(name);
    // Codecs pad the end; the cut file lacks its first frames (0.12 s) and,
    // in the high-quality conversion (the default), the decoder's delay and
    // up to an encoder's delay of near-silence (25 ms together).
    EXPECT_NEAR(static_cast<double>(plain.size()), static_cast<double>(sound.size()), 1450.0)
        << name;
    const double decibels = MatchDecibels(plain, sound);
    std::printf("%s: %zu siren samples, %.1f dB from the plain file\n", name, sound.size(),
                decibels);
    EXPECT_GT(decibels, 8.0) << name;
  }
}

// The conversion is chosen in the Edit menu and kept as "Quality", high when
// the value is missing: a tone
// after 200 ms of silence, encoded by lame, starts at 200 ms when imported
// with the high-quality conversion, and with the encoder's and the decoder's
// delays (138 ms at 8 kHz) by the standard one; the status line says which.
TEST_F(MainWindowImportTest, TheConversionIsChosenInTheMenuAndKept) {
  if (!std::getenv("SIRELTA_TEST_MP3_DIR")) GTEST_SKIP() << "the generated MP3 files are not there";
  Start(Empty);  // no "Quality" value
  auto checked = [&] {
    return (::GetMenuState(::GetMenu(window.GetHwnd()), ID_HIGH_QUALITY_CONVERSION, MF_BYCOMMAND) &
            MF_CHECKED) != 0;
  };
  auto toneStart = [&] {
    window.audioPaths = {GeneratedFile("SIRELTA_TEST_MP3_DIR", "burst_8000_1ch.mp3")};
    window.Command(IDC_ADD_FRAGMENT, BN_CLICKED);
    const BFragment& fragment = window.GetProfile().GetFragment(Rows() - 1);
    const int8_t* sound =
        reinterpret_cast<const int8_t*>(window.GetProfile().Image()) + fragment.start;
    return std::find_if(sound, sound + fragment.length,
                        [](int8_t v) { return std::abs(v) >= 32; }) -
           sound;
  };
  EXPECT_TRUE(checked());
  EXPECT_NEAR(0.2 * 9765, toneStart(), 49.0);
  EXPECT_EQ(FormatText(Text(IDS_IMPORTED_HIGH_QUALITY).c_str(), L"burst_8000_1ch"),
            window.StatusLine(0));

  window.Command(ID_HIGH_QUALITY_CONVERSION);
  EXPECT_FALSE(checked());
  EXPECT_EQ("standard", ReadSettingsString("Quality"));
  EXPECT_NEAR(0.338 * 9765, toneStart(), 49.0);
  EXPECT_EQ(FormatText(Text(IDS_IMPORTED_STANDARD).c_str(), L"burst_8000_1ch"),
            window.StatusLine(0));
  window.Command(ID_HIGH_QUALITY_CONVERSION);
  EXPECT_TRUE(checked());
  EXPECT_EQ("high", ReadSettingsString("Quality"));
}

}  // namespace

namespace {

// The fragment's component at `frequency`, relative to half scale, in dB.
double ComponentDecibels(const int8_t* sound, uint32_t length, double frequency) {
  double re = 0.0, im = 0.0;
  for (uint32_t i = 0; i < length; ++i) {
    const double phase = 2 * 3.14159265358979323846 * frequency * i / 9765;
    re += sound[i] * std::cos(phase);
    im += sound[i] * std::sin(phase);
  }
  return 20 * std::log10(std::max(2.0 * std::hypot(re, im) / length, 1e-9) / 64);
}

}  // namespace

// Without a "Quality" value a 7 kHz tone, which the siren cannot hold,
// leaves an alias at least 55 dB down; a WAVE file behind an ID3 tag
// imports; stereo whose channels cancel imports as its louder channel, and
// the status log says so.
TEST_F(MainWindowImportTest, FilesPeopleBringImportRight) {
  if (!std::getenv("SIRELTA_TEST_IMPORT")) GTEST_SKIP() << "the generated files are not there";
  Start(Empty);
  const char* names[] = {"tone7k.flac", "id3.wav", "cancel.flac"};
  for (const char* name : names) {
    window.audioPaths = {GeneratedFile("SIRELTA_TEST_IMPORT", name)};
    window.Command(IDC_ADD_FRAGMENT, BN_CLICKED);
  }
  ASSERT_TRUE(window.boxes.empty()) << Narrow(window.boxes[0].text);
  ASSERT_EQ(3, Rows());
  const BProfile& profile = window.GetProfile();
  auto sound = [&](int slot) {
    return reinterpret_cast<const int8_t*>(profile.Image()) + profile.GetFragment(slot).start;
  };
  const double alias = ComponentDecibels(sound(0), profile.GetFragment(0).length, 9765 - 7000);
  std::printf("7 kHz tone: alias at %.1f dB\n", alias);
  EXPECT_LT(alias, -55.0);
  EXPECT_NEAR(0.0, ComponentDecibels(sound(1), profile.GetFragment(1).length, 440), 0.5)
      << "the WAVE file's half-scale tone";
  EXPECT_NEAR(0.0, ComponentDecibels(sound(2), profile.GetFragment(2).length, 440), 0.5)
      << "the louder channel";
  EXPECT_EQ(FormatText(Text(IDS_IMPORT_NOTE).c_str(), L"cancel",
                       FormatText(BText(IDS_NOTE_CHANNELS_CANCEL, {1})).c_str()),
            window.StatusLine(0));
}

// Media Foundation reads a file by its content, not its name: an M4A file
// saved as ".mp3" (as downloaders do) imports, and so does one that a
// recorder still holds open for writing.
TEST_F(MainWindowImportTest, MediaFoundationReadsMisnamedAndOpenFiles) {
  if (!std::getenv("SIRELTA_TEST_SOUNDS")) GTEST_SKIP() << "the generated files are not there";
  Start(Empty);
  const std::string m4a = GeneratedFile("SIRELTA_TEST_SOUNDS", "announcement.m4a");
  const std::string misnamed = folder.Path("download.mp3");
  const std::string recording = folder.Path("recording.m4a");
  ASSERT_TRUE(::CopyFileW(Widen(m4a).c_str(), Widen(misnamed).c_str(), FALSE));
  ASSERT_TRUE(::CopyFileW(Widen(m4a).c_str(), Widen(recording).c_str(), FALSE));
  HANDLE writer = ::CreateFileW(Widen(recording).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, writer);
  for (const std::string& path : {misnamed, recording}) {
    window.audioPaths = {path};
    window.Command(IDC_ADD_FRAGMENT, BN_CLICKED);
  }
  ::CloseHandle(writer);
  ASSERT_TRUE(window.boxes.empty()) << Narrow(window.boxes[0].text);
  ASSERT_EQ(2, Rows());
  for (int slot = 0; slot < 2; ++slot)
    EXPECT_GT(window.GetProfile().GetFragment(slot).length, 50000u) << slot;
}
