// BFlacFile: FLAC files read with the reference decoder, libFLAC, over the
// program's own file access. The output is PCM of the file's own width in
// whole bytes (8-bit files unsigned, wider ones signed and left-justified, as
// in a WAVE file of the same sound, so both import alike) with the file's
// channels and rate. The user-interface thread calls it.
//
// How it treats files that are not quite right:
//   - A file that is not FLAC (after any ID3v2 tags) is not claimed.
//   - A FLAC file whose header cannot be read is refused as damaged.
//   - A stream that does not say its length (written by a program that could
//     not go back to fill it in) has it estimated at Open from its first
//     frames and the file's size; the sound itself is read to its real end.
//   - Damaged frames are skipped by the decoder, which finds the next one; a
//     file cut short gives every whole frame before the cut. A file whose
//     every frame is damaged is refused as damaged.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "audio/decoded_audio_file.h"
#include "audio/file_stream.h"

// libFLAC's decoder (an unnamed struct there, so it cannot be declared here).
struct BFlacDecoder;

class BFlacFile : public BDecodedAudioFile {
 public:
  BFlacFile() = default;
  ~BFlacFile() override;
  BFlacFile(const BFlacFile&) = delete;
  BFlacFile& operator=(const BFlacFile&) = delete;

  bool Open(const std::string& path) override;
  void Close() override;
  int32_t GetLength() override;

 protected:
  BDecodeStep DecodeMore(std::vector<uint8_t>& pcm) override;
  bool IsOpen() const override { return m_decoder != nullptr; }

 private:
  bool ReadStreamInfo();
  // For a stream that does not state its length: the length estimated from
  // its first frames and the file's size (exact when those are all there is).
  bool EstimateSamples();

  // The decoder's callbacks (flac_file.cpp) reach the stream and the target.
  friend struct BFlacCallbacks;

  BFileStream m_stream;
  BFlacDecoder* m_decoder = nullptr;
  uint32_t m_bitsPerSample = 0;              // of the stream, 4 to 32
  uint64_t m_totalSamples = 0;               // per channel; 0 until known
  std::vector<uint8_t>* m_target = nullptr;  // where Write puts a frame; null: only counted
  uint64_t m_counted = 0;                    // samples per channel written while counting
  uint64_t m_goodFrames = 0;                 // frames decoded whole since Open
  bool m_sawDamage = false;                  // the decoder skipped something damaged
};
