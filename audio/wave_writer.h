// Writing the siren's sound as a standard RIFF WAVE file: PCM, one channel,
// 9765 samples per second, 8 bits per sample (unsigned, so each stored signed
// byte is written plus 128). The file is written under a temporary name next
// to the target and takes the target's place only when complete, so a failure
// never leaves a half-written file or damages an existing one.
//
// Threads: any one thread at a time; no state is kept between calls.
#pragma once

#include <cstdint>
#include <string>

// The 44-byte header and the samples of such a file, as they go to disk.
std::string EncodeSirenWave(const uint8_t* samples, uint32_t count);

// The name a fragment's file gets: characters that a file name cannot hold
// become '_', and ".wav" is added unless the name ends so already.
std::string WaveFileNameFor(const std::string& fragmentName);

// Writes the file; on failure returns false with the system's error code in
// `systemError` (its text comes from GetErrorText).
bool WriteSirenWave(const std::string& path, const uint8_t* samples, uint32_t count,
                    unsigned long& systemError);
