// Conversion of sound into the siren's format: resampling, down-mix, width
// reduction and the chunked decoding of BAudioSource, against a fake reader.
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "audio/audio_source.h"
#include "audio/audio_string_ids.h"
#include "audio/import_plan.h"
#include "audio/pcm_conversion.h"
#include "audio/rate_reduction.h"
#include "audio/resampler.h"
#include "platform/error_text.h"
#include "platform/text.h"

namespace {

// ---------------------------------------------------------------------------
// A plain resampler written straight from the algorithm, factor by factor,
// with nothing precomputed: the measure of what BResampler must produce.
class NaiveResampler {
 public:
  NaiveResampler(uint32_t sourceRate, uint32_t targetRate)
      : m_inputPeriod(1.0 / sourceRate), m_outputPeriod(1.0 / targetRate) {}

  std::vector<int8_t> Resample(const std::vector<int8_t>& in) {
    std::vector<int8_t> out;
    const uint32_t count = static_cast<uint32_t>(in.size());
    double lastInputTime = m_inputTime;
    for (uint32_t j = 1; j < count; ++j) lastInputTime += m_inputPeriod;
    for (uint32_t j = 0; j < count; ++j) {
      if (m_inputTime == 0.0) {
        out.assign(1, in[0]);
      } else {
        while (m_inputTime >= m_outputTime) {
          uint32_t a = j >= 10 ? j - 10 : 0;
          uint32_t n = std::min<uint32_t>(count - a, 20);
          double times[20];
          double t = a * m_inputPeriod;
          for (uint32_t k = 0; k < n; ++k, t += m_inputPeriod) times[k] = t;
          m_outputTime += m_outputPeriod;
          if (m_outputTime > lastInputTime) {  // past the last input
            out.push_back(in[count - 1]);
            continue;
          }
          double x = static_cast<float>(m_outputTime);
          double y = 0.0;
          for (uint32_t k = 0; k < n; ++k) {
            double numerator = 1.0, divisor = 1.0;
            for (uint32_t i = 0; i < n; ++i) {
              if (times[i] == times[k]) continue;
              numerator *= x - times[i];
              divisor *= times[k] - times[i];
            }
            y += in[a + k] * (numerator / divisor);
          }
          if (y < -128.0) y = -128.0;
          if (y > 127.0) y = 127.0;
          out.push_back(static_cast<int8_t>(static_cast<int>(y)));
        }
      }
      m_inputTime += m_inputPeriod;
    }
    return out;
  }

 private:
  double m_inputTime = 0.0, m_outputTime = 0.0, m_inputPeriod, m_outputPeriod;
};

std::vector<int8_t> Resampled(BResampler& resampler, const std::vector<int8_t>& in) {
  std::vector<int8_t> out(resampler.MaxOutputCount(static_cast<uint32_t>(in.size())));
  uint32_t produced = resampler.Resample(in.data(), out.data(), static_cast<uint32_t>(in.size()));
  EXPECT_LE(produced, out.size());
  out.resize(produced);
  return out;
}

std::vector<int8_t> Resampled(uint32_t from, uint32_t to, const std::vector<int8_t>& in) {
  BResampler resampler(from, to);
  return Resampled(resampler, in);
}

// Noise, a loud sine that clips in the interpolation, or a quiet one.
std::vector<int8_t> TestSignal(std::mt19937& random, uint32_t count, int kind) {
  std::vector<int8_t> samples(count);
  std::uniform_int_distribution<int> byte(-128, 127);
  std::uniform_real_distribution<double> phase(0.0, 6.28);
  double start = phase(random), step = phase(random) / 10;
  for (uint32_t i = 0; i < count; ++i) {
    if (kind == 0) samples[i] = static_cast<int8_t>(byte(random));
    if (kind == 1) samples[i] = static_cast<int8_t>(127 * std::sin(start + i * step));
    if (kind == 2) samples[i] = static_cast<int8_t>(20 * std::sin(start + i * step));
  }
  return samples;
}

const uint32_t kRatePairs[][2] = {{44100, 9765}, {22050, 9765}, {8000, 9765},
                                  {11025, 9765}, {48000, 9765}, {9766, 9765}};

// ---------------------------------------------------------------------------
// A reader that serves given PCM bytes, at most `readLimit` bytes per Read
// (as a WAVE reader gives at most one second per read).
struct FakeReaderLog {
  int made = 0;
  int opened = 0;
  int closed = 0;
  std::vector<uint32_t> readSizes;
};

class FakeReader : public BAudioFile {
 public:
  FakeReader(BPcmFormat format, std::vector<uint8_t> pcm, FakeReaderLog* log = nullptr)
      : m_pcm(std::move(pcm)), m_log(log) {
    m_format = format;
    m_readLimit = format.avgBytesPerSec;
    if (m_log) ++m_log->made;
  }

  bool Open(const std::string&) override {
    if (m_log) ++m_log->opened;
    if (!m_opens) m_errorText = m_openError;
    m_open = m_opens;
    return m_opens;
  }
  void Close() override {
    if (m_log) ++m_log->closed;
    m_open = false;
  }
  int32_t GetLength() override { return m_open ? m_length : -1; }
  bool Read(uint8_t* buffer, uint32_t size, int32_t& count) override {
    if (m_log) m_log->readSizes.push_back(size);
    ++m_reads;
    if (m_reads == m_failAtRead) {
      m_errorText = "Cannot read.";
      count = -1;
      return false;
    }
    if (m_emptyReadsEvery && m_reads % m_emptyReadsEvery == 0) {
      count = 0;
      return true;
    }
    size_t n = std::min<size_t>({size, m_readLimit, m_pcm.size() - m_position});
    if (n == 0) {
      m_errorText = "end";
      count = 0;
      return false;
    }
    std::memcpy(buffer, m_pcm.data() + m_position, n);
    m_position += n;
    count = static_cast<int32_t>(n);
    return true;
  }

  bool m_opens = true;
  std::string m_openError;
  int32_t m_length = 1234;
  uint32_t m_readLimit;
  int m_failAtRead = 0;       // this read fails (1 = the first)
  int m_emptyReadsEvery = 0;  // every n-th read gives 0 bytes
  size_t m_position = 0;

 private:
  std::vector<uint8_t> m_pcm;
  FakeReaderLog* m_log;
  bool m_open = false;
  int m_reads = 0;
};

BPcmFormat Format(uint32_t rate, uint16_t channels, uint16_t bits) {
  BPcmFormat format;
  format.channels = channels;
  format.samplesPerSec = rate;
  format.bitsPerSample = bits;
  format.blockAlign = static_cast<uint16_t>(channels * ((bits + 7) / 8));
  format.avgBytesPerSec = format.blockAlign * rate;
  return format;
}

std::vector<uint8_t> Pcm16(const std::vector<int16_t>& samples) {
  std::vector<uint8_t> bytes;
  for (int16_t s : samples) {
    bytes.push_back(static_cast<uint8_t>(s & 0xFF));
    bytes.push_back(static_cast<uint8_t>((static_cast<uint16_t>(s) >> 8) & 0xFF));
  }
  return bytes;
}

std::vector<uint8_t> Pcm(const std::vector<int32_t>& samples, uint32_t bytesPerSample) {
  std::vector<uint8_t> bytes;
  for (int32_t s : samples)
    for (uint32_t b = 0; b < bytesPerSample; ++b)
      bytes.push_back(static_cast<uint8_t>(static_cast<uint32_t>(s) >> (8 * b)));
  return bytes;
}

// A source whose only reader is `reader` (configured by `setUp` before use).
struct SourceWith {
  explicit SourceWith(BPcmFormat format, std::vector<uint8_t> pcm,
                      std::function<void(FakeReader&)> setUp = nullptr)
      : source({[=] {
          auto reader = std::make_unique<FakeReader>(format, pcm);
          if (setUp) setUp(*reader);
          return std::unique_ptr<BAudioFile>(std::move(reader));
        }}) {
    EXPECT_TRUE(source.Open("sound.wav"));
  }
  std::vector<uint8_t> Output() const {
    uint32_t length = 0;
    const uint8_t* data = source.GetData(length);
    return std::vector<uint8_t>(data, data + length);
  }
  BAudioSource source;
};

std::vector<uint8_t> Converted(BPcmFormat format, std::vector<uint8_t> pcm,
                               std::function<void(FakeReader&)> setUp = nullptr,
                               uint32_t targetRate = 9765) {
  SourceWith with(format, std::move(pcm), setUp);
  EXPECT_TRUE(with.source.Convert(targetRate, 0xFFFFFFFFu)) << with.source.GetErrorText();
  return with.Output();
}

std::vector<uint8_t> HighQuality(BPcmFormat format, std::vector<uint8_t> pcm) {
  SourceWith with(format, std::move(pcm));
  with.source.SetConversion(BConversion::HighQuality);
  EXPECT_TRUE(with.source.Convert(9765, 0xFFFFFFFFu)) << with.source.GetErrorText();
  return with.Output();
}

const double kPi = 3.14159265358979323846;

// `count` samples of a sine at `scale` of full scale, as 16-bit mono PCM.
std::vector<uint8_t> TonePcm(uint32_t rate, double hz, double scale, size_t count) {
  std::vector<int16_t> samples(count);
  for (size_t i = 0; i < count; ++i)
    samples[i] =
        static_cast<int16_t>(std::lround(32767 * scale * std::sin(2 * kPi * hz * i / rate)));
  return Pcm16(samples);
}

// The amplitude of `hz` in one second of siren bytes from `from` on.
double Amplitude(const std::vector<uint8_t>& bytes, double hz, size_t from = 0) {
  double re = 0.0, im = 0.0;
  for (size_t i = from; i < from + 9765 && i < bytes.size(); ++i) {
    re += static_cast<int8_t>(bytes[i]) * std::cos(2 * kPi * hz * (i - from) / 9765);
    im += static_cast<int8_t>(bytes[i]) * std::sin(2 * kPi * hz * (i - from) / 9765);
  }
  return 2 * std::hypot(re, im) / 9765;
}

std::vector<uint8_t> SignedBytes(const std::vector<int8_t>& samples) {
  return std::vector<uint8_t>(samples.begin(), samples.end());
}

std::string InvalidHandleText() { return GetErrorText(InvalidHandleSystemError()); }

}  // namespace

// ===========================================================================
// BResampler

TEST(Resampler, TinyInputsGiveTheHandComputedSamples) {
  // 2 Hz to 3 Hz over three samples on a line (or a parabola): the output
  // times are 0, 1/3, 2/3, 1 and 4/3 s; 1 s falls exactly on the last input
  // sample, and 4/3 s lies beyond it and holds its value (extrapolated, it
  // would be 66, -66 and 56: a click at the end).
  EXPECT_EQ(Resampled(2, 3, {0, 25, 50}), (std::vector<int8_t>{0, 16, 33, 50, 50}));
  EXPECT_EQ(Resampled(2, 3, {0, -25, -50}), (std::vector<int8_t>{0, -16, -33, -50, -50}));
  // y = -254 t^2 + 381 t: 98.8 at 1/3, 141.1 at 2/3 (clipped).
  EXPECT_EQ(Resampled(2, 3, {0, 127, 127}), (std::vector<int8_t>{0, 98, 127, 127, 127}));
  // One sample is passed through; none gives none.
  EXPECT_EQ(Resampled(44100, 9765, {-77}), (std::vector<int8_t>{-77}));
  EXPECT_TRUE(Resampled(44100, 9765, {}).empty());
}

TEST(Resampler, MatchesThePlainAlgorithmBitForBit) {
  // Short sounds, random lengths, and two seconds (the times then pass
  // through many binary exponents, where kept divisors must be given up).
  std::mt19937 random(20240611);
  std::uniform_int_distribution<uint32_t> length(1, 4000);
  for (const auto& rates : kRatePairs) {
    for (int round = 0; round < 31; ++round) {
      uint32_t count = round < 25   ? static_cast<uint32_t>(round + 1)
                       : round < 30 ? length(random)
                                    : 2 * rates[0];
      std::vector<int8_t> input = TestSignal(random, count, round % 3);
      std::vector<int8_t> expected = NaiveResampler(rates[0], rates[1]).Resample(input);
      std::vector<int8_t> actual = Resampled(rates[0], rates[1], input);
      ASSERT_EQ(expected, actual) << rates[0] << " -> " << rates[1] << ", " << count << " samples";
      ASSERT_EQ(input[0], actual[0]);
    }
  }
}

TEST(Resampler, CarriesItsTimesIntoTheNextCall) {
  std::mt19937 random(7);
  std::vector<int8_t> first = TestSignal(random, 700, 1), second = TestSignal(random, 500, 0);
  NaiveResampler naive(8000, 9765);
  BResampler resampler(8000, 9765);
  EXPECT_EQ(naive.Resample(first), Resampled(resampler, first));
  EXPECT_EQ(naive.Resample(second), Resampled(resampler, second));
}

TEST(Resampler, KeepsEveryInputSampleAndOneStepBeyond) {
  // The outputs run to the first output time past the last input sample.
  for (const auto& rates : kRatePairs) {
    for (uint32_t count : {2u, 3u, 50u, 44100u}) {
      std::vector<int8_t> input(count, 0);
      size_t produced = Resampled(rates[0], rates[1], input).size();
      double lastInput = (count - 1.0) / rates[0];
      EXPECT_EQ(static_cast<size_t>(std::floor(lastInput * rates[1])) + 2, produced)
          << rates[0] << " Hz, " << count << " samples";
      EXPECT_EQ(BResampler::OutputCount(count, rates[0], rates[1]), produced);
    }
  }
}

// The one output past the last input sample holds that sample: loud noise,
// whose extrapolation would jump to the rails, ends where it ended.
TEST(Resampler, EndsOnTheLastInputSampleWithoutAClick) {
  std::mt19937 random(11);
  for (const auto& rates : kRatePairs) {
    for (uint32_t count : {2u, 3u, 21u, 50u, 4410u}) {
      std::vector<int8_t> input = TestSignal(random, count, 0);
      EXPECT_EQ(input.back(), Resampled(rates[0], rates[1], input).back())
          << rates[0] << " Hz, " << count << " samples";
    }
  }
}

// ===========================================================================
// Down-mix and width reduction

TEST(PcmConversion, DownMixTakesTheTruncatedMeanOfEachFrame) {
  std::vector<uint8_t> bytes = {0x00, 0xFF, 10, 20, 255, 255};
  EXPECT_EQ(3u, DownMixToMono(bytes.data(), 3, 2, 1));
  EXPECT_EQ(0x7F, bytes[0]);
  EXPECT_EQ(15, bytes[1]);
  EXPECT_EQ(255, bytes[2]);

  // 16 bits: toward zero (-3 + 0) / 2 = -1, not -2; no overflow at the limits.
  bytes = Pcm16({-3, 0, 32767, 32767, -32768, -32768, -513, 0});
  EXPECT_EQ(4u, DownMixToMono(bytes.data(), 4, 2, 2));
  bytes.resize(8);
  EXPECT_EQ(Pcm16({-1, 32767, -32768, -256}), bytes);

  bytes = Pcm({-3, 0, INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN}, 4);
  DownMixToMono(bytes.data(), 3, 2, 4);
  bytes.resize(12);
  EXPECT_EQ(Pcm({-1, INT32_MAX, INT32_MIN}, 4), bytes);

  bytes = Pcm({-3, 0, 0x7FFFFF, 0x7FFFFF, -0x800000, -0x7FFFFF}, 3);
  DownMixToMono(bytes.data(), 3, 2, 3);
  bytes.resize(9);
  EXPECT_EQ(Pcm({-1, 0x7FFFFF, -0x7FFFFF}, 3), bytes);
}

TEST(PcmConversion, MoreThanTwoChannelsAreMixedTogether) {
  std::vector<uint8_t> bytes = {10, 20, 33, 0, 0, 255};
  EXPECT_EQ(2u, DownMixToMono(bytes.data(), 2, 3, 1));
  EXPECT_EQ(21, bytes[0]);
  EXPECT_EQ(85, bytes[1]);

  bytes = Pcm16({-1, -1, -1, -1, -1, -2, 600, 600, 600, 600, 600, 600});
  DownMixToMono(bytes.data(), 2, 6, 2);
  bytes.resize(4);
  EXPECT_EQ(Pcm16({-1, 600}), bytes);
}

TEST(PcmConversion, WidthReductionKeepsTheTopByte) {
  std::vector<uint8_t> bytes = Pcm16({-1, 256, -32768, 32767, 255});
  EXPECT_EQ(5u, ReduceToEightBits(bytes.data(), 5, 2));
  ToSignedSamples(bytes.data(), 5);
  EXPECT_EQ(0xFF, bytes[0]);  // -1
  EXPECT_EQ(0x01, bytes[1]);
  EXPECT_EQ(0x80, bytes[2]);  // -128
  EXPECT_EQ(0x7F, bytes[3]);
  EXPECT_EQ(0x00, bytes[4]);

  // 24 bits at their 3-byte stride, 32 bits by their top byte.
  bytes = Pcm({0x123456, -1, -0x800000, 0x7FFFFF}, 3);
  ReduceToEightBits(bytes.data(), 4, 3);
  ToSignedSamples(bytes.data(), 4);
  EXPECT_EQ((std::vector<uint8_t>{0x12, 0xFF, 0x80, 0x7F}),
            std::vector<uint8_t>(bytes.begin(), bytes.begin() + 4));
  bytes = Pcm({0x12345678, -1, INT32_MIN}, 4);
  ReduceToEightBits(bytes.data(), 3, 4);
  ToSignedSamples(bytes.data(), 3);
  EXPECT_EQ((std::vector<uint8_t>{0x12, 0xFF, 0x80}),
            std::vector<uint8_t>(bytes.begin(), bytes.begin() + 3));
}

TEST(PcmConversion, SampleBytesAndRoomForResampledSound) {
  EXPECT_EQ(1u, PcmSampleBytes(8));
  EXPECT_EQ(1u, PcmSampleBytes(4));
  EXPECT_EQ(2u, PcmSampleBytes(12));
  EXPECT_EQ(3u, PcmSampleBytes(24));
  EXPECT_EQ(4u, PcmSampleBytes(32));
  EXPECT_EQ(0u, PcmSampleBytes(0));
  EXPECT_EQ(0u, PcmSampleBytes(64));
  EXPECT_EQ(12206u, ResampledCapacity(44100, 9765, 44100));  // 1.25 s at 9765 Hz
  // Ten minutes at 48 kHz: 9765 x 28.8 million overflows 32 bits. The factor
  // 9765 x 1.25 / 48000 is formed first, so the product falls just short.
  EXPECT_EQ(7323749u, ResampledCapacity(48000, 9765, 28800000));
}

// ===========================================================================
// BAudioSource::Convert

TEST(AudioSourceConvert, SirenRateSoundIsTakenOverByteForByte) {
  std::mt19937 random(3);
  std::vector<uint8_t> pcm(30000);
  for (uint8_t& b : pcm) b = static_cast<uint8_t>(random());
  std::vector<uint8_t> output = Converted(Format(9765, 1, 8), pcm);
  ASSERT_EQ(pcm.size(), output.size());
  for (size_t i = 0; i < pcm.size(); ++i)
    ASSERT_EQ(static_cast<uint8_t>(pcm[i] - 128), output[i]) << i;
}

TEST(AudioSourceConvert, ChannelsAndWidthsReachTheSirenBytes) {
  EXPECT_EQ((std::vector<uint8_t>{0xFF}), Converted(Format(9765, 2, 8), {0x00, 0xFF}));
  EXPECT_EQ((std::vector<uint8_t>{0xFF, 0x01, 0x80}),
            Converted(Format(9765, 1, 16), Pcm16({-1, 256, -32768})));
  EXPECT_EQ((std::vector<uint8_t>{0x12, 0xFF}),
            Converted(Format(9765, 1, 24), Pcm({0x123456, -1}, 3)));
  EXPECT_EQ((std::vector<uint8_t>{0x12, 0x00}),  // (-1 + 0) / 2 is 0
            Converted(Format(9765, 2, 24), Pcm({0x123456, 0x123456, -1, 0}, 3)));
  EXPECT_EQ((std::vector<uint8_t>{0x80, 0x02}),
            Converted(Format(9765, 4, 32), Pcm({INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN,
                                                0x03000000, 0x03000000, 0x01000000, 0x01000000},
                                               4)));
}

TEST(AudioSourceConvert, FramesCutByAReadStayInStep) {
  // Reads of 7 bytes cut 4-byte stereo frames; the rest of a frame waits for
  // the next chunk, so the result equals one undivided read.
  std::mt19937 random(5);
  std::vector<int16_t> samples(2 * 3000);
  for (int16_t& s : samples) s = static_cast<int16_t>(random());
  std::vector<uint8_t> pcm = Pcm16(samples);
  std::vector<uint8_t> whole = Converted(Format(9765, 2, 16), pcm);
  std::vector<uint8_t> pieces =
      Converted(Format(9765, 2, 16), pcm, [](FakeReader& r) { r.m_readLimit = 7; });
  EXPECT_EQ(3000u, whole.size());
  EXPECT_EQ(whole, pieces);
  // Empty reads in between change nothing either.
  EXPECT_EQ(whole,
            Converted(Format(9765, 2, 16), pcm, [](FakeReader& r) { r.m_emptyReadsEvery = 2; }));
}

TEST(AudioSourceConvert, OneSecondOf44100HzStereoBecomesAboutOneSecondAt9765Hz) {
  std::vector<int16_t> samples;
  for (int i = 0; i < 44100; ++i) {
    int16_t v = static_cast<int16_t>(20000 * std::sin(i * 2 * 3.14159265358979 * 440 / 44100));
    samples.push_back(v);
    samples.push_back(static_cast<int16_t>(v / 2));
  }
  FakeReaderLog log;
  BPcmFormat format = Format(44100, 2, 16);
  std::vector<uint8_t> pcm = Pcm16(samples);
  BAudioSource source({[&] { return std::make_unique<FakeReader>(format, pcm, &log); }});
  ASSERT_TRUE(source.Open("tone.wav"));
  ASSERT_TRUE(source.Convert(9765, 100000));
  uint32_t length = 0;
  const uint8_t* data = source.GetData(length);
  EXPECT_EQ(9766u, length);  // 9765 outputs over the second, one step beyond
  // The chunk holds 1.5 s of the reader's output.
  ASSERT_FALSE(log.readSizes.empty());
  EXPECT_EQ(264600u, log.readSizes[0]);

  // The expected bytes: the decoded sound resampled by the plain algorithm.
  std::vector<int8_t> decoded;
  for (int i = 0; i < 44100; ++i)
    decoded.push_back(static_cast<int8_t>(((samples[2 * i] + samples[2 * i + 1]) / 2) >> 8));
  std::vector<int8_t> expected = NaiveResampler(44100, 9765).Resample(decoded);
  EXPECT_EQ(SignedBytes(expected), std::vector<uint8_t>(data, data + length));
  EXPECT_EQ(static_cast<uint8_t>(decoded[0]), data[0]);
}

// Above 6 x 9765 Hz the interpolation swings near its window's edge: such
// rates are first reduced by a whole factor, so a 440 Hz tone recorded at
// 64, 88.2, 96 or 192 kHz arrives as that tone instead of clipped noise.
TEST(AudioSourceConvert, RatesAboveSixTimesTheSirenRateKeepTheirTone) {
  EXPECT_EQ(1u, RateReductionFactor(58590, 9765));
  EXPECT_EQ(2u, RateReductionFactor(58591, 9765));
  EXPECT_EQ(4u, RateReductionFactor(192000, 9765));
  for (uint32_t rate : {64000u, 88200u, 96000u, 192000u}) {
    std::vector<uint8_t> sound = Converted(Format(rate, 1, 16), TonePcm(rate, 440, 0.5, rate));
    EXPECT_NEAR(static_cast<double>(BResampler::OutputCount(rate, rate, 9765)), sound.size(), 1.0);
    EXPECT_NEAR(64.0, Amplitude(sound, 440), 2.0) << rate << " Hz";
    EXPECT_EQ(0, std::count_if(sound.begin(), sound.end(),
                               [](uint8_t b) { return b == 0x7F || b == 0x80; }))
        << rate << " Hz";
  }
}

TEST(AudioSourceConvert, StopsAfterTheFirstChunkPastTheLimit) {
  std::vector<uint8_t> tenSeconds(97650, 0x80);
  // Reads of one second each: 1000, 2000, 3000 ms; 3000 passes 2500.
  SourceWith upTo2500(Format(9765, 1, 8), tenSeconds);
  ASSERT_TRUE(upTo2500.source.Convert(9765, 2500));
  EXPECT_EQ(3u * 9765, upTo2500.Output().size());
  // 3000 does not pass 3000: one chunk more.
  SourceWith upTo3000(Format(9765, 1, 8), tenSeconds);
  ASSERT_TRUE(upTo3000.source.Convert(9765, 3000));
  EXPECT_EQ(4u * 9765, upTo3000.Output().size());
  // Each chunk's fraction is dropped: 100 bytes are 10.24 ms but count 10, so
  // 40 ms are passed after the fifth chunk (51.2 ms), not the fourth.
  SourceWith fractions(Format(9765, 1, 8), tenSeconds, [](FakeReader& r) { r.m_readLimit = 100; });
  ASSERT_TRUE(fractions.source.Convert(9765, 40));
  EXPECT_EQ(500u, fractions.Output().size());
}

TEST(AudioSourceConvert, TenMinutesAreNeitherCutNorWrapped) {
  const uint32_t tenMinutes = 600000;
  std::vector<uint8_t> pcm(static_cast<size_t>(BytesForMilliseconds(tenMinutes)), 0x90);
  EXPECT_EQ(5859000u, pcm.size());  // 600000 x 9765 does not fit 32 bits
  SourceWith with(Format(9765, 1, 8), pcm);
  ASSERT_TRUE(with.source.Convert(9765, tenMinutes));
  std::vector<uint8_t> output = with.Output();
  EXPECT_EQ(pcm.size(), output.size());
  EXPECT_EQ(0x10, output.back());
}

TEST(AudioSourceConvert, VeryShortSoundsKeepEverySample) {
  // The usual room, 1.25 x the rate ratio x the length, is too small here
  // (44100 Hz: 0 for two samples); AddressSanitizer guards the buffer.
  EXPECT_EQ(0u, ResampledCapacity(44100, 9765, 2));
  for (uint32_t rate : {44100u, 8000u, 2000u, 9766u}) {
    for (uint32_t count = 1; count <= 25; ++count) {
      std::vector<uint8_t> pcm(count);
      std::vector<int8_t> decoded(count);
      for (uint32_t i = 0; i < count; ++i) {
        pcm[i] = static_cast<uint8_t>(7 * i + 100);
        decoded[i] = static_cast<int8_t>(pcm[i] - 128);
      }
      std::vector<int8_t> expected = NaiveResampler(rate, 9765).Resample(decoded);
      ASSERT_EQ(SignedBytes(expected), Converted(Format(rate, 1, 8), pcm))
          << rate << " Hz, " << count;
    }
  }
}

TEST(AudioSourceConvert, SoundlessAndUnreadableFilesAreRefusedWithAReason) {
  // Opened, but with rate 0 and nothing to read.
  SourceWith rateZero(Format(0, 0, 0), {});
  EXPECT_FALSE(rateZero.source.Convert(9765, 1000));
  EXPECT_EQ(FormatUtf8Text(BText(IDS_NO_SOUND)), rateZero.source.GetErrorText());
  // A rate, but no samples.
  SourceWith empty(Format(44100, 2, 16), {});
  EXPECT_FALSE(empty.source.Convert(9765, 1000));
  EXPECT_EQ(FormatUtf8Text(BText(IDS_NO_SOUND)), empty.source.GetErrorText());

  SourceWith tooWide(Format(44100, 1, 40), std::vector<uint8_t>(100));
  EXPECT_FALSE(tooWide.source.Convert(9765, 1000));
  EXPECT_EQ(FormatUtf8Text(BText(IDS_SAMPLE_FORMAT_UNSUPPORTED, {40, 1})),
            tooWide.source.GetErrorText());

  SourceWith noTarget(Format(44100, 1, 8), std::vector<uint8_t>(100));
  EXPECT_FALSE(noTarget.source.Convert(0, 1000));
  EXPECT_EQ(FormatUtf8Text(BText(IDS_TARGET_RATE_ZERO)), noTarget.source.GetErrorText());

  SourceWith failing(Format(9765, 1, 8), std::vector<uint8_t>(30000),
                     [](FakeReader& r) { r.m_failAtRead = 2; });
  EXPECT_FALSE(failing.source.Convert(9765, 100000));
  EXPECT_EQ("Cannot read.", failing.source.GetErrorText());
  EXPECT_TRUE(failing.Output().empty());
}

// ===========================================================================
// BAudioSource: readers, length and lifecycle

TEST(AudioSource, TriesItsReadersInOrderAndKeepsTheLastError) {
  FakeReaderLog first, second;
  auto maker = [](FakeReaderLog* log, bool opens, std::string error, int32_t length) {
    return [=]() -> std::unique_ptr<BAudioFile> {
      auto reader = std::make_unique<FakeReader>(Format(9765, 1, 8), std::vector<uint8_t>(10), log);
      reader->m_opens = opens;
      reader->m_openError = error;
      reader->m_length = length;
      return reader;
    };
  };
  BAudioSource secondOpens({maker(&first, false, "Wrong file format. Can't find fmt section.", 1),
                            maker(&second, true, "", 2500)});
  ASSERT_TRUE(secondOpens.Open("a.b.c.mp3"));
  EXPECT_EQ(2500, secondOpens.GetLength());
  EXPECT_EQ(1, first.made);
  EXPECT_EQ(1, first.closed);  // the refusing reader was released

  FakeReaderLog third, fourth;
  BAudioSource firstOpens({maker(&third, true, "", 10), maker(&fourth, true, "", 20)});
  ASSERT_TRUE(firstOpens.Open("x.wav"));
  EXPECT_EQ(10, firstOpens.GetLength());
  EXPECT_EQ(0, fourth.made);  // never made when not needed

  BAudioSource neither({maker(nullptr, false, "first", 1), maker(nullptr, false, "Error 38", 1)});
  EXPECT_FALSE(neither.Open("noise.bin"));
  EXPECT_EQ("Error 38", neither.GetErrorText());
}

TEST(AudioSource, WithoutAFileItReportsAnInvalidHandle) {
  BAudioSource source(std::vector<BAudioReaderMaker>{});
  EXPECT_FALSE(source.Open("x.wav"));
  EXPECT_EQ(-1, source.GetLength());
  EXPECT_EQ(InvalidHandleText(), source.GetErrorText());
  EXPECT_FALSE(source.Convert(9765, 1000));
  EXPECT_EQ(InvalidHandleText(), source.GetErrorText());

  SourceWith closed(Format(9765, 1, 8), std::vector<uint8_t>(100, 0x81));
  ASSERT_TRUE(closed.source.Convert(9765, 1000));
  EXPECT_EQ(100u, closed.Output().size());
  closed.source.Close();
  EXPECT_TRUE(closed.Output().empty());
  EXPECT_EQ(-1, closed.source.GetLength());
  EXPECT_FALSE(closed.source.Convert(9765, 1000));
}

// The program's readers on real files: one second of a 440 Hz sine at half
// scale, made by lame, comes out as one second of that tone at 9765 Hz.
TEST(AudioSource, MakesTheSirenToneFromMp3Files) {
  for (const char* rate : {"44100", "22050", "11025", "8000"}) {
    for (const char* channels : {"1ch", "2ch"}) {
      std::string name = std::string("tone_") + rate + "_" + channels + ".mp3";
      SCOPED_TRACE(name);
      BAudioSource source;
      ASSERT_TRUE(source.Open(std::string(SIRELTA_TEST_MP3_DIR) + "/" + name))
          << source.GetErrorText();
      int32_t milliseconds = source.GetLength();
      ASSERT_GE(milliseconds, 1000);
      ASSERT_TRUE(source.Convert(9765, 100000)) << source.GetErrorText();
      uint32_t length = 0;
      const int8_t* sound = reinterpret_cast<const int8_t*>(source.GetData(length));
      // The length counts every frame in whole milliseconds; the decoder holds
      // back up to two frames' worth of samples.
      EXPECT_LE(length, BytesForMilliseconds(milliseconds) + 10);
      EXPECT_GE(length, BytesForMilliseconds(milliseconds - 150));

      // Over the middle half second: the peak of half scale and 440 cycles/s.
      int peak = 0, crossings = 0;
      for (uint32_t i = 2500; i < 2500 + 9765 / 2; ++i) {
        peak = std::max(peak, std::abs(static_cast<int>(sound[i])));
        if ((sound[i - 1] < 0) != (sound[i] < 0)) ++crossings;
      }
      EXPECT_NEAR(64, peak, 6);
      EXPECT_NEAR(440, crossings, 12);
    }
  }
}

// ===========================================================================
// The high-quality conversion

// 7 kHz lies above the 4882 Hz the siren's rate holds; folded, it would come
// back at 2765 Hz. It must stay at least 55 dB below a 1 kHz tone.
TEST(HighQualityConversion, RemovesWhatTheSirenRateCannotHold) {
  auto converted = [](double hz) {
    return HighQuality(Format(44100, 1, 16), TonePcm(44100, hz, 0.5, 2 * 44100));
  };
  const double reference = Amplitude(converted(1000), 1000, 4000);
  EXPECT_NEAR(64.0, reference, 1.0);
  EXPECT_LT(20 * std::log10(Amplitude(converted(7000), 2765, 4000) / reference), -55.0);
}

// Top bytes alone would average -0.5 (truncation toward minus infinity).
TEST(HighQualityConversion, RoundsWithoutAnOffset) {
  const std::vector<uint8_t> sound =
      HighQuality(Format(44100, 1, 16), TonePcm(44100, 1000, 0.1, 3 * 44100));
  double sum = 0.0;
  for (size_t i = 2000; i < 2000 + 2 * 9765; ++i) sum += static_cast<int8_t>(sound[i]);
  EXPECT_LE(std::abs(sum / (2 * 9765)), 0.05);
}

// Same length as the standard conversion, and tones that end on a zero
// crossing end without a step steeper than the tone's own (41 at 1 kHz).
TEST(HighQualityConversion, KeepsTheStandardLengthAndEndsWithoutAStep) {
  for (uint32_t rate : {8000u, 11025u, 22050u, 44100u, 48000u, 96000u}) {
    const std::vector<uint8_t> pcm = TonePcm(rate, 1000, 0.5, rate / 2 + 1);
    const std::vector<uint8_t> sound = HighQuality(Format(rate, 1, 16), pcm);
    EXPECT_NEAR(static_cast<double>(Converted(Format(rate, 1, 16), pcm).size()), sound.size(), 1.0);
    ASSERT_GE(sound.size(), 2u);
    const int last = static_cast<int8_t>(sound.back()),
              before = static_cast<int8_t>(sound.end()[-2]);
    EXPECT_LE(std::abs(last - before), 41) << rate << " Hz";
  }
}

// The dither's generator starts from the same seed for every conversion, and
// sound that already lies on the siren's steps gets no noise at all.
TEST(HighQualityConversion, GivesTheSameBytesEveryTime) {
  const std::vector<uint8_t> pcm = TonePcm(22050, 440, 0.2, 22050);
  EXPECT_EQ(HighQuality(Format(22050, 1, 16), pcm), HighQuality(Format(22050, 1, 16), pcm));
  std::mt19937 random(3);
  std::vector<uint8_t> bytes(3000);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
  EXPECT_EQ(Converted(Format(9765, 1, 8), bytes), HighQuality(Format(9765, 1, 8), bytes));
}

// A 1 kHz tone after 200 ms of silence, encoded by lame (with its tag): the
// encoder's delay, the decoder's and the padding at the end are gone, so the
// tone starts at 200 ms and the sound lasts its 1 s, each within 5 ms.
TEST(HighQualityConversion, Mp3StartsAndEndsWithItsSound) {
  for (const char* name : {"burst_8000_1ch.mp3", "burst_44100_2ch.mp3"}) {
    SCOPED_TRACE(name);
    BAudioSource source;
    source.SetConversion(BConversion::HighQuality);
    ASSERT_TRUE(source.Open(std::string(SIRELTA_TEST_MP3_DIR) + "/" + name));
    ASSERT_TRUE(source.Convert(9765, 100000)) << source.GetErrorText();
    uint32_t length = 0;
    const int8_t* sound = reinterpret_cast<const int8_t*>(source.GetData(length));
    const int8_t* start =
        std::find_if(sound, sound + length, [](int8_t v) { return std::abs(v) >= 32; });
    EXPECT_NEAR(0.2 * 9765, start - sound, 0.005 * 9765);
    EXPECT_NEAR(9765.0, length, 0.005 * 9765);
  }
}
