// BSystemDecoder: a decoder that the operating system provides for the
// kinds the program has no library of its own for (MPEG-4 audio with AAC,
// Windows Media audio). On Windows it is Media Foundation
// (audio/media_foundation_decoder.h); the tests give fakes. Whoever owns it
// calls it from one thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "audio/audio_file.h"

class BSystemDecoder {
 public:
  enum class BStatus {
    Ok,
    NoFramework,  // the system has no media framework at all
    NoDecoder,    // the framework cannot decode this file (no decoder, or damaged)
    Failure,      // the file has no sound the framework can give, or decoding failed
  };

  virtual ~BSystemDecoder() = default;

  // Opens the file for decoding to 16-bit PCM with the file's channels and
  // rate: the format and the length in milliseconds (0 when unknown).
  virtual BStatus Open(const std::string& path, BPcmFormat& format, uint32_t& milliseconds) = 0;
  // Appends the next decoded block to `pcm`; `end` tells that the sound is over.
  virtual BStatus Decode(std::vector<uint8_t>& pcm, bool& end) = 0;
  // Releases the file and the framework; harmless when nothing is open.
  virtual void Close() = 0;
};
