// libFuzzer target for the MP3 reader: the frame scan over the input bytes
// (tags, resynchronisation and cut frames included), then the whole reader
// (Open, GetLength, Read to the end) on the same bytes written to a file.
// Build and run with tests/fuzz/run_mp3_fuzz.sh.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "audio/mp3_file.h"
#include "audio/mp3_frame_scan.h"
#include "audio/sound_file_kind.h"

namespace {

std::string FuzzFilePath() {
  const char* folder = std::getenv("TMPDIR");
  return std::string(folder && *folder ? folder : "/tmp") + "/sirelta_mp3_fuzz_" +
         std::to_string(getpid()) + ".mp3";
}

void CheckScan(const uint8_t* data, size_t size) {
  BMp3MemorySource source(data, size);
  std::vector<BMp3FrameRecord> frames;
  BMp3ScanOutcome outcome = ScanMp3Frames(source, frames);
  if (outcome == BMp3ScanOutcome::ReadFailure) std::abort();  // memory never fails to read
  uint64_t end = 0;
  for (const BMp3FrameRecord& frame : frames) {
    // Frames come in file order, never overlap, lie wholly in the file,
    // start with a sync, measure 24 (MPEG 2 Layer III, 8 kbit/s, 24 kHz) to
    // 1729 bytes (MPEG 1 Layer II, 384 kbit/s, 32 kHz) and share the first
    // frame's version, layer and rate.
    if (frame.offset < end || static_cast<uint64_t>(frame.offset) + frame.size > size ||
        data[frame.offset] != 0xFF || (data[frame.offset + 1] & 0xE0) != 0xE0 || frame.size < 24 ||
        frame.size > 1729 || frame.version != frames[0].version || frame.layer != frames[0].layer ||
        frame.sampleRate != frames[0].sampleRate)
      std::abort();
    end = static_cast<uint64_t>(frame.offset) + frame.size;
  }
  if (Mp3SoundLength(frames) < 0) std::abort();
}

void CheckReader(const uint8_t* data, size_t size) {
  static const std::string path = FuzzFilePath();
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return;
  std::fwrite(data, 1, size, file);
  std::fclose(file);

  BMP3File reader;
  if (!reader.Open(path)) {
    // Only a file of another known kind, or without any whole frame, is refused.
    const BSoundKind kind = DetectSoundKindOfFile(path);
    if (kind != BSoundKind::Unknown && kind != BSoundKind::Mpeg) return;
    BMp3MemorySource source(data, size);
    std::vector<BMp3FrameRecord> frames;
    if (ScanMp3Frames(source, frames) != BMp3ScanOutcome::Complete || !frames.empty()) std::abort();
    return;
  }
  if (reader.GetFrames().empty() || reader.GetLength() < 0) std::abort();
  std::vector<uint8_t> buffer(BMP3File::kMinReadSize);
  size_t reads = 0;
  for (;;) {
    int32_t count = 0;
    bool more = reader.Read(buffer.data(), static_cast<uint32_t>(buffer.size()), count);
    if (!more) break;
    if (count < 0 || static_cast<uint32_t>(count) > buffer.size() ||
        count % reader.GetFormat().blockAlign != 0)
      std::abort();
    // Every Read takes an indexed frame or decodes one the decoder holds
    // (an indexed frame may hold several of the decoder's own): the reads
    // end, bounded by the frames and the bytes fed.
    if (++reads > reader.GetFrames().size() + size / 4 + 2) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CheckScan(data, size);
  CheckReader(data, size);
  return 0;
}
