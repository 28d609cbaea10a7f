#include "audio/band_limited_resampling.h"

#include <cmath>

#include <soxr.h>

#include "audio/audio_string_ids.h"
#include "platform/text.h"

bool ResampleBandLimited(const float* input, size_t count, double sourceRate, uint32_t targetRate,
                         size_t outputCount, std::vector<float>& output, std::string& errorText) {
  // The library ends its output where the input ends; silence behind the
  // sound lets it reach the outputs the length asks for beyond that.
  const size_t tail = static_cast<size_t>(std::ceil(2.0 * sourceRate / targetRate)) + 16;
  std::vector<float> padded(input, input + count);
  padded.resize(count + tail, 0.0f);
  output.assign(outputCount, 0.0f);

  const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
  const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, SOXR_LINEAR_PHASE);
  const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
  size_t produced = 0;
  soxr_error_t error =
      soxr_oneshot(sourceRate, targetRate, 1, padded.data(), padded.size(), nullptr, output.data(),
                   outputCount, &produced, &io, &quality, &runtime);
  if (error != nullptr) {
    errorText = FormatUtf8Text(BText(IDS_RATE_CHANGE_FAILED, {error}));
    return false;
  }
  return true;
}
