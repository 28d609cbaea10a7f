#include "audio/decoded_audio_file.h"

#include <algorithm>
#include <cstring>

#include "audio/audio_string_ids.h"
#include "platform/error_text.h"

bool BDecodedAudioFile::Claim(const std::string& path, BSoundKind kind) {
  Close();
  m_format = BPcmFormat();
  m_recognised = DetectSoundKindOfFile(path) == kind;
  if (!m_recognised) m_errorText = SoundKindText(IDS_KIND_EXPECTED, kind);
  return m_recognised;
}

bool BDecodedAudioFile::Refuse(const std::string& text) {
  m_errorText = text;
  Close();
  return false;
}

int32_t BDecodedAudioFile::LengthOf(uint64_t samples) {
  if (!IsOpen()) {
    m_errorText = ::GetErrorText(InvalidHandleSystemError());
    return -1;
  }
  const double milliseconds = static_cast<double>(samples) * 1000.0 / m_format.samplesPerSec;
  return static_cast<int32_t>(std::min(milliseconds, static_cast<double>(INT32_MAX)));
}

void BDecodedAudioFile::ResetDecoded() {
  std::vector<uint8_t>().swap(m_queue);
  m_queueStart = 0;
  m_ended = false;
}

bool BDecodedAudioFile::DecodeAhead(uint64_t most, uint64_t& bytes) {
  while (!m_ended && m_queue.size() - m_queueStart < most) {
    const BDecodeStep step = DecodeMore(m_queue);
    if (step == BDecodeStep::Failure) return false;
    m_ended = step == BDecodeStep::End;
  }
  bytes = m_queue.size() - m_queueStart;
  return true;
}

bool BDecodedAudioFile::Read(uint8_t* buffer, uint32_t size, int32_t& count) {
  count = -1;
  if (!IsOpen()) {
    m_errorText = ::GetErrorText(InvalidHandleSystemError());
    return false;
  }
  const uint32_t frame = std::max<uint32_t>(m_format.blockAlign, 1);
  const uint32_t wanted = size - size % frame;
  // Each step decodes at least a block, so the loop ends; a step that gives
  // nothing ends this call early instead of spinning on a hole.
  while (!m_ended && m_queue.size() - m_queueStart < wanted) {
    const std::size_t before = m_queue.size();
    const BDecodeStep step = DecodeMore(m_queue);
    if (step == BDecodeStep::Failure) return false;
    if (step == BDecodeStep::End) m_ended = true;
    if (step == BDecodeStep::Data && m_queue.size() == before) break;
  }
  const std::size_t available = m_queue.size() - m_queueStart;
  const std::size_t taken = std::min<std::size_t>(available - available % frame, wanted);
  if (taken == 0 && m_ended) {
    ResetDecoded();
    m_ended = true;
    m_errorText = ::GetErrorText(EndOfFileSystemError());
    count = 0;
    return false;
  }
  if (taken > 0) std::memcpy(buffer, m_queue.data() + m_queueStart, taken);
  m_queueStart += taken;
  // The read part goes once it outweighs what is left, so the queue stays small.
  if (m_queueStart > m_queue.size() / 2) {
    m_queue.erase(m_queue.begin(), m_queue.begin() + static_cast<std::ptrdiff_t>(m_queueStart));
    m_queueStart = 0;
  }
  count = static_cast<int32_t>(taken);
  return true;
}
