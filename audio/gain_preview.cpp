#include "audio/gain_preview.h"

#include "audio/gain.h"

BGainPreview::BGainPreview(BPlaybackControl& player, uint8_t* samples, uint32_t offset,
                           uint32_t length)
    : m_player(player), m_target(samples + offset), m_saved(m_target, m_target + length) {}

void BGainPreview::Write(int32_t gain) {
  m_player.LockPlayBuffer();
  ApplyGainToUnsigned(m_saved.data(), m_target, static_cast<uint32_t>(m_saved.size()), gain);
  m_player.UnlockPlayBuffer();
}

int32_t BGainPreview::NormalizingGain() const {
  return ::NormalizingGain(m_saved.data(), static_cast<uint32_t>(m_saved.size()));
}
