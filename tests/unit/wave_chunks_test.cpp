// The chunk walk of WAVE files: fixed cases for each decision, and a
// randomised run over mutated headers and random bytes that compares the walk
// with a direct reading of the bytes and checks its promises.
#include "audio/wave_chunks.h"
#include "memory_riff_source.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

void Append32(Bytes& bytes, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void AppendId(Bytes& bytes, const char* id) { bytes.insert(bytes.end(), id, id + 4); }

Bytes Chunk(const char* id, const Bytes& data, uint32_t declaredSize) {
  Bytes bytes;
  AppendId(bytes, id);
  Append32(bytes, declaredSize);
  bytes.insert(bytes.end(), data.begin(), data.end());
  return bytes;
}

Bytes Chunk(const char* id, const Bytes& data) {
  return Chunk(id, data, static_cast<uint32_t>(data.size()));
}

// A format record: tag, channels, rate, byte rate, block, bits, then extras.
Bytes Format(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t block, uint16_t bits,
             const Bytes& extra = {}) {
  Bytes bytes = {static_cast<uint8_t>(tag), static_cast<uint8_t>(tag >> 8),
                 static_cast<uint8_t>(channels), static_cast<uint8_t>(channels >> 8)};
  Append32(bytes, rate);
  Append32(bytes, rate * block);
  bytes.insert(bytes.end(), {static_cast<uint8_t>(block), static_cast<uint8_t>(block >> 8),
                             static_cast<uint8_t>(bits), static_cast<uint8_t>(bits >> 8)});
  bytes.insert(bytes.end(), extra.begin(), extra.end());
  return bytes;
}

Bytes Riff(const char* formType, const std::vector<Bytes>& chunks) {
  Bytes body;
  AppendId(body, formType);
  for (const Bytes& chunk : chunks) body.insert(body.end(), chunk.begin(), chunk.end());
  return Chunk("RIFF", body);
}

const Bytes kPcmFormat = Format(1, 2, 22050, 4, 16);
const Bytes kSound(1000, 0x40);

struct WalkResult {
  BWaveWalk walk;
  Bytes format;
  uint64_t position = 0;
};

WalkResult Walk(const Bytes& file, uint32_t capacity = 50) {
  BMemoryRiffSource source(file);
  WalkResult result;
  result.format.assign(capacity, 0xCC);
  result.walk = WalkWaveChunks(source, result.format.data(), capacity);
  result.position = source.Position();
  return result;
}

TEST(WaveChunks, FindsFormatAndDataAndStopsAtTheDataStart) {
  const Bytes file = Riff("WAVE", {Chunk("fmt ", kPcmFormat), Chunk("data", kSound)});
  const WalkResult result = Walk(file);
  ASSERT_EQ(BWaveWalkError::None, result.walk.error);
  EXPECT_EQ(16u, result.walk.formatSize);
  EXPECT_EQ(Bytes(kPcmFormat.begin(), kPcmFormat.end()),
            Bytes(result.format.begin(), result.format.begin() + 16));
  EXPECT_EQ(Bytes(result.format.size() - 16, 0),
            Bytes(result.format.begin() + 16, result.format.end()));
  EXPECT_EQ(44u, result.walk.dataOffset);
  EXPECT_EQ(1000u, result.walk.dataSize);
  EXPECT_EQ(44u, result.position);
  const BWaveFormatFields fields = ParseWaveFormat(result.format.data());
  EXPECT_EQ(2, fields.channels);
  EXPECT_EQ(22050u, fields.samplesPerSec);
  EXPECT_EQ(88200u, fields.avgBytesPerSec);
  EXPECT_EQ(4, fields.blockAlign);
  EXPECT_EQ(16, fields.bitsPerSample);
}

TEST(WaveChunks, SkipsFactAndListChunksBeforeTheData) {
  const Bytes list = Chunk("LIST", {'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 2, 0, 0, 0, 'a', 0});
  const Bytes file = Riff("WAVE", {Chunk("fmt ", kPcmFormat), Chunk("fact", {1, 2, 3, 4}), list,
                                   Chunk("data", kSound)});
  const WalkResult result = Walk(file);
  ASSERT_EQ(BWaveWalkError::None, result.walk.error);
  EXPECT_EQ(file.size() - kSound.size(), result.walk.dataOffset);
  EXPECT_EQ(1000u, result.walk.dataSize);
}

// An odd chunk before the data, wherever it lies, with the pad byte the rule
// asks for, and without one as some writers leave it out.
TEST(WaveChunks, StepsOverThePadByteOfOddChunks) {
  const Bytes odd = Chunk("junk", {1, 2, 3});
  const Bytes formatOdd = Chunk("fmt ", kPcmFormat + Bytes{7}, 17);
  const Bytes pad = {0};
  const struct {
    const char* name;
    Bytes file;
  } cases[] = {
      {"padded", Riff("WAVE", {Chunk("fmt ", kPcmFormat), odd, pad, Chunk("data", kSound)})},
      {"two padded",
       Riff("WAVE", {Chunk("fmt ", kPcmFormat), odd, pad, odd, pad, Chunk("data", kSound)})},
      {"odd format", Riff("WAVE", {formatOdd, pad, Chunk("data", kSound)})},
      {"not padded", Riff("WAVE", {Chunk("fmt ", kPcmFormat), odd, Chunk("data", kSound)})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const WalkResult result = Walk(c.file);
    ASSERT_EQ(BWaveWalkError::None, result.walk.error);
    EXPECT_TRUE(result.walk.isWave);
    EXPECT_EQ(c.file.size() - kSound.size(), result.walk.dataOffset);
    EXPECT_EQ(1000u, result.walk.dataSize);
  }
}

// Recorders and editors put bext, JUNK and LIST chunks in front of "fmt ".
TEST(WaveChunks, FindsTheFormatBehindOtherChunks) {
  const Bytes list = Chunk("LIST", {'I', 'N', 'F', 'O'});
  const Bytes bext = Chunk("bext", Bytes(603, 'b'));  // odd: a pad byte follows
  const WalkResult found = Walk(Riff("WAVE", {bext, Bytes{0}, Chunk("JUNK", Bytes(28, 0)), list,
                                              Chunk("fmt ", kPcmFormat), Chunk("data", kSound)}));
  ASSERT_EQ(BWaveWalkError::None, found.walk.error);
  EXPECT_EQ(Bytes(kPcmFormat.begin(), kPcmFormat.end()),
            Bytes(found.format.begin(), found.format.begin() + 16));
  EXPECT_EQ(1000u, found.walk.dataSize);

  const WalkResult video = Walk(Riff("AVI ", {Chunk("LIST", {'h', 'd', 'r', 'l'})}));
  EXPECT_EQ(BWaveWalkError::NoFormatChunk, video.walk.error);
  EXPECT_FALSE(video.walk.isWave) << "only a WAVE form is the WAVE reader's kind";
  EXPECT_EQ(BWaveWalkError::NoFormatChunk,
            Walk(Riff("WAVE", {Chunk("data", kSound), Chunk("fmt ", kPcmFormat)})).walk.error);
}

TEST(WaveChunks, ReportsChunkNotFoundForFilesWithoutRiffOrData) {
  for (const Bytes& file : {Bytes{}, Bytes{'R', 'I', 'F', 'F'}, Bytes(100, 'x'), Riff("WAVE", {}),
                            Riff("WAVE", {Chunk("fmt ", kPcmFormat)}),
                            Riff("WAVE", {Chunk("fmt ", kPcmFormat), Chunk("junk", {}, 0xFFFFFFF0u),
                                          Chunk("data", kSound)})}) {
    const BWaveWalk walk = Walk(file).walk;
    EXPECT_EQ(BWaveWalkError::Source, walk.error);
    EXPECT_EQ(kRiffChunkNotFound, walk.code);
  }
}

TEST(WaveChunks, RefusesTruncatedAndUnusableFormats) {
  Bytes cut = Riff("WAVE", {Chunk("fmt ", kPcmFormat)});
  cut.resize(cut.size() - 6);
  EXPECT_EQ(BWaveWalkError::FormatTruncated, Walk(cut).walk.error);

  const Bytes shortFormat(kPcmFormat.begin(), kPcmFormat.begin() + 14);
  const Bytes noRate = Format(1, 2, 0, 4, 16);
  const Bytes noBlock = Format(1, 2, 22050, 0, 16);
  const Bytes noChannels = Format(1, 0, 22050, 4, 16);
  for (const Bytes& format : {shortFormat, noRate, noBlock, noChannels})
    EXPECT_EQ(BWaveWalkError::FormatInvalid,
              Walk(Riff("WAVE", {Chunk("fmt ", format), Chunk("data", kSound)})).walk.error);
}

TEST(WaveChunks, KeepsOnlyWhatFitsOfALongFormatAndSkipsTheRest) {
  Bytes extra = {22, 0};  // cbSize 22, as in an extensible format
  extra.resize(24, 0x77);
  const Bytes longFormat = Format(0xFFFE, 2, 44100, 4, 16, extra);  // 40 bytes
  const Bytes file = Riff("WAVE", {Chunk("fmt ", longFormat), Chunk("data", kSound)});
  const WalkResult result = Walk(file, 20);
  ASSERT_EQ(BWaveWalkError::None, result.walk.error);
  EXPECT_EQ(20u, result.walk.formatSize);
  EXPECT_EQ(2, result.format[16]);  // cbSize cut to the two extra bytes kept
  EXPECT_EQ(0, result.format[17]);
  EXPECT_EQ(file.size() - kSound.size(), result.walk.dataOffset);
}

TEST(WaveChunks, CutsAnExtraSizeThatClaimsMoreThanTheChunk) {
  const Bytes format = Format(0x11, 1, 22050, 512, 4, {200, 0, 0xF9, 0x03});
  const WalkResult result = Walk(Riff("WAVE", {Chunk("fmt ", format), Chunk("data", kSound)}));
  ASSERT_EQ(BWaveWalkError::None, result.walk.error);
  EXPECT_EQ(2, result.format[16]);
  EXPECT_EQ(0xF9, result.format[18]);
}

TEST(WaveChunks, BoundsTheDataByTheChunkAndByTheFile) {
  const Bytes trailing = Chunk("LIST", {'I', 'N', 'F', 'O', 'x', 'x', 'x', 'x'});
  const WalkResult followed =
      Walk(Riff("WAVE", {Chunk("fmt ", kPcmFormat), Chunk("data", kSound), trailing}));
  EXPECT_EQ(1000u, followed.walk.dataSize);

  const WalkResult overlong =
      Walk(Riff("WAVE", {Chunk("fmt ", kPcmFormat), Chunk("data", kSound, 0xFFFFFFFFu)}));
  ASSERT_EQ(BWaveWalkError::None, overlong.walk.error);
  EXPECT_EQ(0xFFFFFFFFu, overlong.walk.declaredDataSize);
  EXPECT_EQ(1000u, overlong.walk.dataSize);
}

TEST(WaveChunks, ReadSizeTakesWholeBlocksOfAtMostOneSecond) {
  EXPECT_EQ(88200u, WaveReadSize(1000000, 88200, 4, 500000));
  EXPECT_EQ(996u, WaveReadSize(998, 88200, 4, 500000));
  EXPECT_EQ(10752u, WaveReadSize(100000, 11100, 512, 500000));  // IMA ADPCM: 21 blocks
  EXPECT_EQ(300u, WaveReadSize(100000, 11100, 512, 300));       // the last, short block
  EXPECT_EQ(3u, WaveReadSize(3, 88200, 4, 500000));             // smaller than a block
  EXPECT_EQ(0u, WaveReadSize(100000, 88200, 4, 0));
}

// ---- Randomised run --------------------------------------------------------

// The walk computed straight from the bytes, as an independent reading of
// the same rules, for comparison.
BWaveWalk ReferenceWalk(const Bytes& file, uint32_t capacity, Bytes& format) {
  const uint64_t size = file.size();
  auto get32 = [&](uint64_t at) {
    return static_cast<uint32_t>(file[at] | file[at + 1] << 8 | file[at + 2] << 16) |
           static_cast<uint32_t>(file[at + 3]) << 24;
  };
  auto fail = [](BWaveWalkError error, uint32_t code = 0) {
    BWaveWalk walk;
    walk.error = error;
    walk.code = code;
    return walk;
  };
  // Behind an odd chunk: its pad byte, unless that byte is not zero and
  // begins four printable characters (the next id, from a writer without pads).
  auto pad = [&](uint64_t end, uint32_t chunkSize) -> uint64_t {
    if (chunkSize % 2 == 0) return 0;
    if (end + 4 > size || file[end] == 0) return 1;
    for (uint64_t i = end; i < end + 4; ++i)
      if (file[i] < 0x20 || file[i] > 0x7E) return 1;
    return 0;
  };
  format.assign(capacity, 0);

  uint64_t at = 0;
  for (;;) {
    if (at + 8 > size) return fail(BWaveWalkError::Source, kRiffChunkNotFound);
    if (get32(at) == kRiffId) break;
    at += 8 + ((static_cast<uint64_t>(get32(at + 4)) + 1) & ~uint64_t(1));
  }
  at += 12;
  for (;;) {
    if (at + 8 > size) return fail(BWaveWalkError::Source, kRiffChunkNotFound);
    if (get32(at) == kFormatId) break;
    const uint32_t chunkSize = get32(at + 4);
    if (get32(at) == kDataId || at + 8 + chunkSize >= size)
      return fail(BWaveWalkError::NoFormatChunk);
    at += 8 + chunkSize + pad(at + 8 + chunkSize, chunkSize);
  }
  const uint64_t formatData = at + 8;
  const uint32_t formatChunkSize = get32(at + 4);
  const uint32_t kept = std::min(formatChunkSize, capacity);
  if (formatData + kept > size) return fail(BWaveWalkError::FormatTruncated);
  if (formatData + formatChunkSize > UINT32_MAX) return fail(BWaveWalkError::FormatTruncated);
  std::copy(file.begin() + formatData, file.begin() + formatData + kept, format.begin());
  if (kept < 16 || (format[2] | format[3]) == 0 || (format[12] | format[13]) == 0 ||
      (format[8] | format[9] | format[10] | format[11]) == 0)
    return fail(BWaveWalkError::FormatInvalid);
  if (kept >= 18) {
    const uint32_t extra = format[16] | format[17] << 8;
    if (extra > kept - 18) {
      format[16] = static_cast<uint8_t>(kept - 18);
      format[17] = static_cast<uint8_t>((kept - 18) >> 8);
    }
  }

  at = formatData + formatChunkSize;
  at += pad(at, formatChunkSize);
  for (;;) {
    if (at + 8 > size) return fail(BWaveWalkError::Source, kRiffChunkNotFound);
    const uint64_t data = at + 8;
    const uint32_t chunkSize = get32(at + 4);
    if (get32(at) == kDataId) {
      BWaveWalk walk;
      walk.formatSize = kept;
      walk.dataOffset = static_cast<uint32_t>(data);
      walk.declaredDataSize = chunkSize;
      walk.dataSize = static_cast<uint32_t>(
          chunkSize == 0 ? size - data : std::min<uint64_t>(chunkSize, size - data));
      return walk;
    }
    if (data + chunkSize >= size) return fail(BWaveWalkError::Source, kRiffChunkNotFound);
    at = data + chunkSize + pad(data + chunkSize, chunkSize);
  }
}

// Headers of the kinds real files have, for the mutations to start from.
std::vector<Bytes> SeedFiles() {
  Bytes imaExtra = {2, 0, 0xF9, 0x03};
  Bytes extensible = {22, 0};
  extensible.resize(24, 1);
  const Bytes info =
      Chunk("LIST", {'I', 'N', 'F', 'O', 'I', 'S', 'F', 'T', 3, 0, 0, 0, 's', 'x', 0, 0});
  const Bytes sound(64, 0x80);
  return {
      Riff("WAVE", {Chunk("fmt ", Format(1, 1, 8000, 1, 8)), Chunk("data", sound)}),
      Riff("WAVE", {Chunk("fmt ", Format(1, 2, 44100, 4, 16)), info, Chunk("data", sound)}),
      Riff("WAVE", {Chunk("fmt ", Format(0x11, 1, 22050, 512, 4, imaExtra)),
                    Chunk("fact", {0, 1, 0, 0}), Chunk("data", sound)}),
      Riff("WAVE", {Chunk("fmt ", Format(0xFFFE, 2, 48000, 4, 16, extensible)),
                    Chunk("data", sound), info}),
      Riff("WAVE", {Chunk("fmt ", Format(6, 1, 8000, 1, 8, {0, 0})), Chunk("fact", {0, 1, 0, 0}),
                    Chunk("data", sound)}),
  };
}

void Mutate(Bytes& file, std::mt19937& random) {
  std::uniform_int_distribution<int> kind(0, 5);
  const int edits = 1 + static_cast<int>(random() % 4);
  for (int i = 0; i < edits; ++i) {
    const size_t at = file.empty() ? 0 : random() % file.size();
    switch (kind(random)) {
      case 0:  // flip a byte
        if (!file.empty()) file[at] = static_cast<uint8_t>(random());
        break;
      case 1:  // a 32-bit field (often a size) gets an interesting value
        if (file.size() >= at + 4) {
          static const uint32_t values[] = {0,  1,  2,          3,          8,          16,
                                            17, 18, 0x7FFFFFFF, 0x80000000, 0xFFFFFFF8, 0xFFFFFFFF};
          const uint32_t value = values[random() % (sizeof values / sizeof *values)];
          for (int b = 0; b < 4; ++b) file[at + b] = static_cast<uint8_t>(value >> (8 * b));
        }
        break;
      case 2:  // cut the file
        file.resize(at);
        break;
      case 3:  // insert random bytes
        file.insert(file.begin() + static_cast<long>(at), random() % 12,
                    static_cast<uint8_t>(random()));
        break;
      case 4: {  // put a chunk id somewhere
        static const char* ids[] = {"RIFF", "LIST", "fmt ", "data", "fact"};
        const char* id = ids[random() % 5];
        if (file.size() >= at + 4) std::copy(id, id + 4, file.begin() + static_cast<long>(at));
        break;
      }
      default:  // drop bytes
        file.erase(file.begin() + static_cast<long>(at),
                   file.begin() + static_cast<long>(std::min(file.size(), at + random() % 16)));
    }
  }
}

Bytes RandomBytes(std::mt19937& random) {
  Bytes file(random() % 80);
  for (uint8_t& byte : file) byte = static_cast<uint8_t>(random());
  if (random() % 2 && file.size() >= 4) std::copy("RIFF", "RIFF" + 4, file.begin());
  return file;
}

// Runs one input through the walk and checks it against the reference and
// the walk's promises. Returns false (after reporting) on a mismatch.
bool CheckOne(const Bytes& file, uint32_t capacity) {
  Bytes format(capacity, 0xCC);
  BMemoryRiffSource source(file);
  const BWaveWalk walk = WalkWaveChunks(source, format.data(), capacity);
  Bytes expectedFormat;
  const BWaveWalk expected = ReferenceWalk(file, capacity, expectedFormat);

  bool same = walk.error == expected.error && walk.code == expected.code;
  if (same && walk.error == BWaveWalkError::None) {
    same = walk.formatSize == expected.formatSize && walk.dataOffset == expected.dataOffset &&
           walk.dataSize == expected.dataSize &&
           walk.declaredDataSize == expected.declaredDataSize && format == expectedFormat &&
           source.Position() == walk.dataOffset &&
           static_cast<uint64_t>(walk.dataOffset) + walk.dataSize <= file.size() &&
           walk.formatSize <= capacity;
    const uint32_t extra = format[16] | format[17] << 8;
    same = same && (walk.formatSize < kFormatExSize || extra <= walk.formatSize - kFormatExSize);
  }
  if (!same) {
    std::string hex;
    for (uint8_t byte : file) hex += std::to_string(byte) + ",";
    ADD_FAILURE() << "walk differs (error " << static_cast<int>(walk.error) << " vs "
                  << static_cast<int>(expected.error) << ", capacity " << capacity << ") for {"
                  << hex << "}";
  }
  return same;
}

TEST(WaveChunksFuzz, MutatedHeadersAndRandomBytesWalkAsTheBytesSay) {
  // SIRELTA_FUZZ_SECONDS lengthens the run; by default it is a few seconds.
  const char* seconds = std::getenv("SIRELTA_FUZZ_SECONDS");
  const double budget = seconds ? std::atof(seconds) : 2.0;
  const char* seedText = std::getenv("SIRELTA_FUZZ_SEED");
  const unsigned seed =
      seedText ? static_cast<unsigned>(std::strtoul(seedText, nullptr, 10)) : 20240611u;
  std::mt19937 random(seed);
  const std::vector<Bytes> seeds = SeedFiles();
  const uint32_t capacities[] = {18, 20, 50};

  const auto start = std::chrono::steady_clock::now();
  long executions = 0, accepted = 0, failures = 0;
  while (std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() < budget) {
    for (int i = 0; i < 256; ++i, ++executions) {
      Bytes file = random() % 8 ? seeds[random() % seeds.size()] : RandomBytes(random);
      Mutate(file, random);
      const uint32_t capacity = capacities[random() % 3];
      if (!CheckOne(file, capacity) && ++failures >= 5) FAIL() << "stopping after 5 differences";
      Bytes format(capacity);
      BMemoryRiffSource source(file);
      accepted += WalkWaveChunks(source, format.data(), capacity).error == BWaveWalkError::None;
    }
  }
  RecordProperty("executions", static_cast<int>(executions));
  std::printf("chunk walk fuzz: seed %u, %ld executions, %ld accepted, %ld differences\n", seed,
              executions, accepted, failures);
  EXPECT_GT(accepted, 0);  // the mutations must still reach the data chunk often
}

}  // namespace
