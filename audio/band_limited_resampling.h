// The rate change of the high-quality conversion: band-limited, by the SoX
// resampler library (libsoxr) at its very-high-quality setting (28-bit
// precision, linear phase, pass band to 91.3 % of the lower Nyquist
// frequency, everything above that frequency removed).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Resamples `count` mono samples at `sourceRate` to `targetRate` and gives
// exactly `outputCount` samples in `output`: output k lies at time
// k / targetRate, sample 0 of the input at time 0. The sound is taken as
// silent beyond its ends, so outputs past its end hold the filter's decay.
// False with the error text set when the library fails.
bool ResampleBandLimited(const float* input, size_t count, double sourceRate, uint32_t targetRate,
                         size_t outputCount, std::vector<float>& output, std::string& errorText);
