// libFuzzer target for the readers of FLAC, Ogg Vorbis and Opus, one per
// build (SIRELTA_FUZZ_READER 1, 2 or 3): the input bytes written to a file
// and read to the end. Whatever the bytes, a reader claims only its own kind,
// Open leaves it either open with a usable format or closed, every Read
// gives whole frames within the buffer, and the reads end. Build and run with
// tests/fuzz/run_decoder_fuzz.sh.
#include <cstdint>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "audio/flac_file.h"
#include "audio/ogg_vorbis_file.h"
#include "audio/opus_file.h"
#include "audio/sound_file_kind.h"

namespace {

std::string FuzzFilePath() {
  const char* folder = std::getenv("TMPDIR");
  return std::string(folder && *folder ? folder : "/tmp") + "/sirelta_decoder_fuzz_" +
         std::to_string(getpid());
}

std::unique_ptr<BAudioFile> MakeReader(BSoundKind& kind) {
#if SIRELTA_FUZZ_READER == 1
  kind = BSoundKind::Flac;
  return std::unique_ptr<BAudioFile>(new BFlacFile());
#elif SIRELTA_FUZZ_READER == 2
  kind = BSoundKind::OggVorbis;
  return std::unique_ptr<BAudioFile>(new BOggVorbisFile());
#else
  kind = BSoundKind::OggOpus;
  return std::unique_ptr<BAudioFile>(new BOpusFile());
#endif
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = FuzzFilePath();
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);

  BSoundKind kind = BSoundKind::Unknown;
  std::unique_ptr<BAudioFile> reader = MakeReader(kind);
  const bool opened = reader->Open(path);
  // (A file behind ID3v2 tags is told by the bytes behind them; a file by
  // its first kSoundKindHeadSize bytes.)
  const bool tagged = size >= 3 && data[0] == 'I' && data[1] == 'D' && data[2] == '3';
  const std::size_t head = std::min(size, kSoundKindHeadSize);
  if (!tagged && reader->IsRecognised() != (DetectSoundKind(data, head) == kind)) std::abort();
  if (!opened) {
    if (reader->GetLength() != -1) std::abort();  // a refused file leaves the reader closed
    return 0;
  }
  const BPcmFormat& format = reader->GetFormat();
  if (format.channels == 0 || format.samplesPerSec == 0 || format.blockAlign == 0 ||
      reader->GetLength() < 0)
    std::abort();
  std::vector<uint8_t> buffer(6000);
  uint64_t total = 0;
  for (int reads = 0;; ++reads) {
    int32_t count = 0;
    if (!reader->Read(buffer.data(), static_cast<uint32_t>(buffer.size()), count)) break;
    if (count < 0 || static_cast<uint32_t>(count) > buffer.size() || count % format.blockAlign != 0)
      std::abort();
    total += static_cast<uint64_t>(count);
    // A read gives a frame or more, or takes input without sound (a hole, a
    // damaged frame): the reads end, bounded by the sound and the bytes.
    if (static_cast<uint64_t>(reads) > size + total / format.blockAlign + 1000) std::abort();
    if (total > (uint64_t(1) << 31)) break;
  }
  return 0;
}
