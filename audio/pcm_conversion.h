// The steps that bring linear PCM down to the siren's sample format: one
// channel, 8 bits, signed. Buffers are converted in place; samples are
// little-endian, 8-bit ones unsigned, wider ones signed and left-justified in
// their bytes, as in RIFF WAVE files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Bytes one sample of `bitsPerSample` occupies in a frame (1 to 4), or 0 for
// widths the conversion cannot take (0 or more than 32 bits).
uint32_t PcmSampleBytes(uint16_t bitsPerSample);

// Mixes `frames` interleaved frames of `channels` samples into one channel,
// in place, and returns the number of mono samples (= frames). Each output
// sample is the mean of its frame truncated toward zero (8-bit: of the
// unsigned bytes, so two channels give (a + b) >> 1; 32-bit: summed in
// floating point so that nothing overflows).
uint32_t DownMixToMono(uint8_t* data, uint32_t frames, uint16_t channels, uint32_t sampleBytes);

// Mixes `frames` interleaved frames of `channels` samples into one channel
// without rounding and appends them to `mono` as fractions of full scale
// (-1 to just below 1): the mean of each frame, an 8-bit byte b counting as
// (b - 128) / 128 and a wider sample s of n bytes as s / 2^(8n - 1).
void AppendMonoFractions(const uint8_t* data, uint32_t frames, uint16_t channels,
                         uint32_t sampleBytes, std::vector<float>& mono);

// Keeps channel `channel` of `frames` interleaved frames alone, in place: the
// result is mono at the same width. Returns the number of samples.
uint32_t SelectChannel(uint8_t* data, uint32_t frames, uint16_t channels, uint32_t sampleBytes,
                       uint16_t channel);

// Adds the power of each of the first two channels (`channelPower[0]`,
// `channelPower[1]`) and of their mean (`mixPower`) over `frames` frames, as
// sums of squared fractions of full scale: how loud stereo is before and after
// the down-mix. Channels 3 and up are not counted.
void AddStereoPower(const uint8_t* data, uint32_t frames, uint16_t channels, uint32_t sampleBytes,
                    double channelPower[2], double& mixPower);

// Reduces `samples` mono samples of `sampleBytes` bytes to unsigned 8-bit, in
// place, by their top byte: v = sample >> (8 * (sampleBytes - 1)), stored as
// v + 128. Returns the number of samples.
uint32_t ReduceToEightBits(uint8_t* data, uint32_t samples, uint32_t sampleBytes);

// Turns unsigned 8-bit samples into signed ones: each byte minus 128, modulo 256.
void ToSignedSamples(uint8_t* data, size_t count);

// The output room the conversion sets aside for `decodedLength` samples at
// `sourceRate` resampled to `targetRate`: truncate(target x 1.25 / source x
// length). For very short sounds the resampler can produce more; see
// BResampler::MaxOutputCount.
uint64_t ResampledCapacity(double sourceRate, uint32_t targetRate, uint32_t decodedLength);
