#include "emulator/siren_device.h"

#include <algorithm>

#include "emulator/siren_protocol.h"

using namespace siren;

BSirenDevice::BSirenDevice(uint8_t chips) : m_chips(chips) {}

uint32_t BSirenDevice::MemorySize() const {
  const uint32_t usable = std::min<uint32_t>(m_chips, BSirenState::kMaxChips);
  return usable * BSirenState::kChipSize;
}

std::string BSirenDevice::DescribePlayState() const {
  switch (m_playKind) {
    case PlayKind::Fragment:
      return "fragment " + std::to_string(m_playingFragment);
    case PlayKind::Playlist:
      return "playlist";
    default:
      return "stopped";
  }
}

std::vector<uint8_t> BSirenDevice::Execute(const BSirenRequest& request) {
  if (static_cast<int>(request.payload.size()) != RequestPayloadLength(request.code)) return {};
  const uint8_t* p = request.payload.data();
  switch (request.code) {
    case kDetect:
      return BuildReplyFrame(kDetectReply, {});
    case kMemorySize:
      return BuildReplyFrame(kMemorySize, {m_chips});
    case kReadFragment:
      return ReadFragment(p);
    case kWriteFragment:
      return WriteFragment(p);
    case kPlayFragment:
      return PlayFragment(p);
    case kReadByte:
      return ReadByte(p);
    case kWriteByte:
      return WriteByte(p);
    case kReadPlaylist:
      return ReadPlaylist(p);
    case kWritePlaylist:
      return WritePlaylist(p);
    case kPlayPlaylist:
      return PlayPlaylist();
    case kReadButton:
      return ReadButton(p);
    case kWriteButton:
      return WriteButton(p);
    default:
      return {};
  }
}

std::vector<uint8_t> BSirenDevice::BuildRefusal(const BSirenRequest& request, uint8_t status) {
  const uint8_t first = request.payload.empty() ? 0 : request.payload[0];
  switch (request.code) {
    case kWriteFragment:
    case kPlayFragment:
      return BuildReplyFrame(request.code, {first, status});
    case kReadByte:
      return BuildReplyFrame(request.code, {status, 0});
    case kReadPlaylist:
    case kReadButton:
      return BuildReplyFrame(request.code, {BSirenState::kNone, status});
    case kReadFragment: {
      std::vector<uint8_t> data{first};
      AppendUint24(data, BSirenState::kEmptyValue);
      AppendUint24(data, BSirenState::kEmptyValue);
      return BuildReplyFrame(request.code, data);
    }
    case kWriteByte:
    case kWritePlaylist:
    case kPlayPlaylist:
    case kWriteButton:
      return BuildReplyFrame(request.code, {status});
    default:
      return {};
  }
}

bool BSirenDevice::IsFragmentValue(uint8_t value) { return value < BSirenState::kFragmentCount; }

bool BSirenDevice::IsPlayable(uint8_t index) const {
  if (!IsFragmentValue(index) || m_state.IsEntryEmpty(index)) return false;
  const BSirenFragmentEntry& entry = m_state.fragments[index];
  return static_cast<uint64_t>(entry.start) + entry.length <= MemorySize();
}

std::vector<uint8_t> BSirenDevice::ReadFragment(const uint8_t* p) const {
  BSirenFragmentEntry entry;  // empty for an index out of range
  if (IsFragmentValue(p[0])) entry = m_state.fragments[p[0]];
  std::vector<uint8_t> data{p[0]};
  AppendUint24(data, entry.start);
  AppendUint24(data, entry.length);
  return BuildReplyFrame(kReadFragment, data);
}

std::vector<uint8_t> BSirenDevice::WriteFragment(const uint8_t* p) {
  const uint8_t index = p[0];
  if (!IsFragmentValue(index)) return BuildReplyFrame(kWriteFragment, {index, kStatusBadIndex});
  BSirenFragmentEntry entry;
  entry.start = ReadUint24(p + 1);
  entry.length = ReadUint24(p + 4);
  const bool empty =
      entry.start == BSirenState::kEmptyValue && entry.length == BSirenState::kEmptyValue;
  if (!empty && static_cast<uint64_t>(entry.start) + entry.length > MemorySize())
    return BuildReplyFrame(kWriteFragment, {index, kStatusUnavailable});
  m_state.fragments[index] = entry;
  return BuildReplyFrame(kWriteFragment, {index, kStatusOk});
}

std::vector<uint8_t> BSirenDevice::PlayFragment(const uint8_t* p) {
  const uint8_t index = p[0];
  if (index == kStopPlayback) {
    m_playKind = PlayKind::None;
    m_playingFragment = kStopPlayback;
    return BuildReplyFrame(kPlayFragment, {index, kStatusOk});
  }
  if (!IsFragmentValue(index)) return BuildReplyFrame(kPlayFragment, {index, kStatusBadIndex});
  if (!IsPlayable(index)) return BuildReplyFrame(kPlayFragment, {index, kStatusUnavailable});
  m_playKind = PlayKind::Fragment;
  m_playingFragment = index;
  return BuildReplyFrame(kPlayFragment, {index, kStatusOk});
}

std::vector<uint8_t> BSirenDevice::ReadByte(const uint8_t* p) const {
  const uint32_t address = ReadUint24(p);
  if (address >= MemorySize()) return BuildReplyFrame(kReadByte, {kStatusUnavailable, 0});
  return BuildReplyFrame(kReadByte, {kStatusOk, m_state.memory[address]});
}

std::vector<uint8_t> BSirenDevice::WriteByte(const uint8_t* p) {
  const uint32_t address = ReadUint24(p);
  if (address >= MemorySize()) return BuildReplyFrame(kWriteByte, {kStatusUnavailable});
  m_state.memory[address] = p[3];
  return BuildReplyFrame(kWriteByte, {kStatusOk});
}

std::vector<uint8_t> BSirenDevice::ReadPlaylist(const uint8_t* p) const {
  if (p[0] >= BSirenState::kPlaylistLength)
    return BuildReplyFrame(kReadPlaylist, {BSirenState::kNone, kStatusBadIndex});
  return BuildReplyFrame(kReadPlaylist, {m_state.playlist[p[0]], kStatusOk});
}

std::vector<uint8_t> BSirenDevice::WritePlaylist(const uint8_t* p) {
  if (p[0] >= BSirenState::kPlaylistLength)
    return BuildReplyFrame(kWritePlaylist, {kStatusBadIndex});
  if (p[1] != BSirenState::kNone && !IsFragmentValue(p[1]))
    return BuildReplyFrame(kWritePlaylist, {kStatusBadFragmentIndex});
  m_state.playlist[p[0]] = p[1];
  return BuildReplyFrame(kWritePlaylist, {kStatusOk});
}

std::vector<uint8_t> BSirenDevice::PlayPlaylist() {
  bool playable = false;
  for (uint8_t entry : m_state.playlist) {
    if (entry == BSirenState::kNone) break;
    playable = playable || IsPlayable(entry);
  }
  if (!playable) return BuildReplyFrame(kPlayPlaylist, {kStatusUnavailable});
  m_playKind = PlayKind::Playlist;
  m_playingFragment = kStopPlayback;
  return BuildReplyFrame(kPlayPlaylist, {kStatusOk});
}

std::vector<uint8_t> BSirenDevice::ReadButton(const uint8_t* p) const {
  if (p[0] >= BSirenState::kButtonCount)
    return BuildReplyFrame(kReadButton, {BSirenState::kNone, kStatusBadIndex});
  return BuildReplyFrame(kReadButton, {m_state.buttons[p[0]], kStatusOk});
}

std::vector<uint8_t> BSirenDevice::WriteButton(const uint8_t* p) {
  if (p[0] >= BSirenState::kButtonCount) return BuildReplyFrame(kWriteButton, {kStatusBadIndex});
  if (p[1] != BSirenState::kNone && !IsFragmentValue(p[1]))
    return BuildReplyFrame(kWriteButton, {kStatusBadFragmentIndex});
  m_state.buttons[p[0]] = p[1];
  return BuildReplyFrame(kWriteButton, {kStatusOk});
}
