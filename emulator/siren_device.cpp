#include "emulator/siren_device.h"

#include <algorithm>

#include "emulator/siren_protocol.h"

using namespace siren;

BSirenDevice::BSirenDevice(uint8_t chips) : chips_(chips) {}

uint32_t BSirenDevice::MemorySize() const
{
    const uint32_t usable = std::min<uint32_t>(chips_, BSirenState::kMaxChips);
    return usable * BSirenState::kChipSize;
}

std::string BSirenDevice::DescribePlayState() const
{
    switch (playKind_) {
    case PlayKind::Fragment: return "fragment " + std::to_string(playingFragment_);
    case PlayKind::Playlist: return "playlist";
    default: return "stopped";
    }
}

std::vector<uint8_t> BSirenDevice::Execute(const BSirenRequest& request)
{
    if (static_cast<int>(request.payload.size()) != RequestPayloadLength(request.code))
        return {};
    const uint8_t* p = request.payload.data();
    switch (request.code) {
    case kDetect: return BuildReplyFrame(kDetectReply, {});
    case kMemorySize: return BuildReplyFrame(kMemorySize, {chips_});
    case kReadFragment: return ReadFragment(p);
    case kWriteFragment: return WriteFragment(p);
    case kPlayFragment: return PlayFragment(p);
    case kReadByte: return ReadByte(p);
    case kWriteByte: return WriteByte(p);
    case kReadPlaylist: return ReadPlaylist(p);
    case kWritePlaylist: return WritePlaylist(p);
    case kPlayPlaylist: return PlayPlaylist();
    case kReadButton: return ReadButton(p);
    case kWriteButton: return WriteButton(p);
    default: return {};
    }
}

std::vector<uint8_t> BSirenDevice::BuildRefusal(const BSirenRequest& request, uint8_t status)
{
    const uint8_t first = request.payload.empty() ? 0 : request.payload[0];
    switch (request.code) {
    case kWriteFragment:
    case kPlayFragment: return BuildReplyFrame(request.code, {first, status});
    case kReadByte: return BuildReplyFrame(request.code, {status, 0});
    case kReadPlaylist:
    case kReadButton: return BuildReplyFrame(request.code, {BSirenState::kNone, status});
    case kReadFragment: {
        std::vector<uint8_t> data{first};
        AppendUint24(data, BSirenState::kEmptyValue);
        AppendUint24(data, BSirenState::kEmptyValue);
        return BuildReplyFrame(request.code, data);
    }
    case kWriteByte:
    case kWritePlaylist:
    case kPlayPlaylist:
    case kWriteButton: return BuildReplyFrame(request.code, {status});
    default: return {};
    }
}

bool BSirenDevice::IsFragmentValue(uint8_t value)
{
    return value < BSirenState::kFragmentCount;
}

bool BSirenDevice::IsPlayable(uint8_t index) const
{
    if (!IsFragmentValue(index) || state_.IsEntryEmpty(index))
        return false;
    const BSirenFragmentEntry& entry = state_.fragments[index];
    return static_cast<uint64_t>(entry.start) + entry.length <= MemorySize();
}

std::vector<uint8_t> BSirenDevice::ReadFragment(const uint8_t* p) const
{
    BSirenFragmentEntry entry;   // empty for an index out of range
    if (IsFragmentValue(p[0]))
        entry = state_.fragments[p[0]];
    std::vector<uint8_t> data{p[0]};
    AppendUint24(data, entry.start);
    AppendUint24(data, entry.length);
    return BuildReplyFrame(kReadFragment, data);
}

std::vector<uint8_t> BSirenDevice::WriteFragment(const uint8_t* p)
{
    const uint8_t index = p[0];
    if (!IsFragmentValue(index))
        return BuildReplyFrame(kWriteFragment, {index, kStatusBadIndex});
    BSirenFragmentEntry entry;
    entry.start = ReadUint24(p + 1);
    entry.length = ReadUint24(p + 4);
    const bool empty = entry.start == BSirenState::kEmptyValue && entry.length == BSirenState::kEmptyValue;
    if (!empty && static_cast<uint64_t>(entry.start) + entry.length > MemorySize())
        return BuildReplyFrame(kWriteFragment, {index, kStatusUnavailable});
    state_.fragments[index] = entry;
    return BuildReplyFrame(kWriteFragment, {index, kStatusOk});
}

std::vector<uint8_t> BSirenDevice::PlayFragment(const uint8_t* p)
{
    const uint8_t index = p[0];
    if (index == kStopPlayback) {
        playKind_ = PlayKind::None;
        playingFragment_ = kStopPlayback;
        return BuildReplyFrame(kPlayFragment, {index, kStatusOk});
    }
    if (!IsFragmentValue(index))
        return BuildReplyFrame(kPlayFragment, {index, kStatusBadIndex});
    if (!IsPlayable(index))
        return BuildReplyFrame(kPlayFragment, {index, kStatusUnavailable});
    playKind_ = PlayKind::Fragment;
    playingFragment_ = index;
    return BuildReplyFrame(kPlayFragment, {index, kStatusOk});
}

std::vector<uint8_t> BSirenDevice::ReadByte(const uint8_t* p) const
{
    const uint32_t address = ReadUint24(p);
    if (address >= MemorySize())
        return BuildReplyFrame(kReadByte, {kStatusUnavailable, 0});
    return BuildReplyFrame(kReadByte, {kStatusOk, state_.memory[address]});
}

std::vector<uint8_t> BSirenDevice::WriteByte(const uint8_t* p)
{
    const uint32_t address = ReadUint24(p);
    if (address >= MemorySize())
        return BuildReplyFrame(kWriteByte, {kStatusUnavailable});
    state_.memory[address] = p[3];
    return BuildReplyFrame(kWriteByte, {kStatusOk});
}

std::vector<uint8_t> BSirenDevice::ReadPlaylist(const uint8_t* p) const
{
    if (p[0] >= BSirenState::kPlaylistLength)
        return BuildReplyFrame(kReadPlaylist, {BSirenState::kNone, kStatusBadIndex});
    return BuildReplyFrame(kReadPlaylist, {state_.playlist[p[0]], kStatusOk});
}

std::vector<uint8_t> BSirenDevice::WritePlaylist(const uint8_t* p)
{
    if (p[0] >= BSirenState::kPlaylistLength)
        return BuildReplyFrame(kWritePlaylist, {kStatusBadIndex});
    if (p[1] != BSirenState::kNone && !IsFragmentValue(p[1]))
        return BuildReplyFrame(kWritePlaylist, {kStatusBadFragmentIndex});
    state_.playlist[p[0]] = p[1];
    return BuildReplyFrame(kWritePlaylist, {kStatusOk});
}

std::vector<uint8_t> BSirenDevice::PlayPlaylist()
{
    bool playable = false;
    for (uint8_t entry : state_.playlist) {
        if (entry == BSirenState::kNone)
            break;
        playable = playable || IsPlayable(entry);
    }
    if (!playable)
        return BuildReplyFrame(kPlayPlaylist, {kStatusUnavailable});
    playKind_ = PlayKind::Playlist;
    playingFragment_ = kStopPlayback;
    return BuildReplyFrame(kPlayPlaylist, {kStatusOk});
}

std::vector<uint8_t> BSirenDevice::ReadButton(const uint8_t* p) const
{
    if (p[0] >= BSirenState::kButtonCount)
        return BuildReplyFrame(kReadButton, {BSirenState::kNone, kStatusBadIndex});
    return BuildReplyFrame(kReadButton, {state_.buttons[p[0]], kStatusOk});
}

std::vector<uint8_t> BSirenDevice::WriteButton(const uint8_t* p)
{
    if (p[0] >= BSirenState::kButtonCount)
        return BuildReplyFrame(kWriteButton, {kStatusBadIndex});
    if (p[1] != BSirenState::kNone && !IsFragmentValue(p[1]))
        return BuildReplyFrame(kWriteButton, {kStatusBadFragmentIndex});
    state_.buttons[p[0]] = p[1];
    return BuildReplyFrame(kWriteButton, {kStatusOk});
}
