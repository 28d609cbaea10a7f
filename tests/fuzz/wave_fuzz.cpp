// libFuzzer target for the portable part of the WAVE reader: the chunk walk
// over the input bytes (pad bytes included), the decision how the samples are
// taken, and the samples taken as the reader and the conversion take them
// (float brought to 16 bits, every width mixed down and narrowed). The mmio
// and converter calls around it are Windows-only. Build and run with
// tests/fuzz/run_wave_fuzz.sh.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "audio/pcm_conversion.h"
#include "audio/wave_chunks.h"
#include "audio/wave_sample_format.h"
#include "tests/unit/memory_riff_source.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> format(kExtensibleFormatSize + 10);
  BMemoryRiffSource source(std::vector<uint8_t>(data, data + size));
  const BWaveWalk walk =
      WalkWaveChunks(source, format.data(), static_cast<uint32_t>(format.size()));
  if (walk.error != BWaveWalkError::None) return 0;
  if (static_cast<uint64_t>(walk.dataOffset) + walk.dataSize > size) std::abort();

  const BWaveFormatFields fields = ParseWaveFormat(format.data());
  const BWaveSampleFormat sample = ClassifyWaveFormat(format.data(), walk.formatSize);
  std::vector<uint8_t> sound(data + walk.dataOffset, data + walk.dataOffset + walk.dataSize);
  uint16_t bits =
      sample.encoding == BWaveEncoding::Integer ? sample.readBits : fields.bitsPerSample;
  uint32_t bytes = walk.dataSize;
  if (sample.encoding == BWaveEncoding::Converter) return 0;
  // A block share wider than the sample is read at the block's stride.
  if (sample.encoding == BWaveEncoding::Integer && bits != fields.bitsPerSample &&
      bits != fields.blockAlign / fields.channels * 8u)
    std::abort();
  if (sample.encoding == BWaveEncoding::Float) {
    if ((bits != 32 && bits != 64) || fields.blockAlign != fields.channels * (bits / 8u))
      std::abort();
    const uint32_t samples = bytes / (bits / 8u);
    FloatToSixteenBit(sound.data(), samples, bits, sound.data());
    bits = 16;
    bytes = samples * 2;
  }
  // The conversion's steps, over whole frames as it takes them.
  const uint32_t sampleBytes = PcmSampleBytes(bits);
  if (sampleBytes == 0 || fields.channels == 0) return 0;
  const uint32_t frames = bytes / (sampleBytes * fields.channels);
  const uint32_t mono = DownMixToMono(sound.data(), frames, fields.channels, sampleBytes);
  if (ReduceToEightBits(sound.data(), mono, sampleBytes) != frames) std::abort();
  ToSignedSamples(sound.data(), frames);
  return 0;
}
