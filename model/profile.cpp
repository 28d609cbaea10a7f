// BProfile: creation, the link state, the table and the playlist.
// Free blocks, defragmentation, deletion and transfer plans are in
// profile_layout.cpp, the profile file in profile_file.cpp.
#include "model/profile.h"

#include <algorithm>
#include <cstring>

BProfile::BProfile()
    : image_(kImageSize, kErasedByte)
{
    ResetLinkState();
    Reset();
}

void BProfile::Reset()
{
    for (BFragment& fragment : fragments_)
        fragment = BFragment::Empty();
    std::fill(std::begin(buttons_), std::end(buttons_), kNone);
    std::fill(std::begin(playlist_), std::end(playlist_), kNone);
    std::fill(image_.begin(), image_.end(), kErasedByte);
}

void BProfile::ResetLinkState()
{
    icCount_ = 0;
    jobCursor_ = 0;
    playlistSynced_ = false;
    for (BFragment& fragment : fragments_)
        fragment.synced = false;
}

uint32_t BProfile::Capacity() const
{
    if (icCount_ <= 0)
        return 0;
    // A siren never reports more than 4 chips; the image cannot hold more.
    return static_cast<uint32_t>(std::min(icCount_, kMaxChips)) * kChipSize;
}

uint32_t BProfile::PlacementCapacity() const
{
    return icCount_ == 0 ? kImageSize : Capacity();
}

int BProfile::PlaceFragment(const std::string& name, const BMemRange& block,
                            const uint8_t* samples, uint32_t count)
{
    int slot = FindEmptySlot();
    if (slot < 0 || block.start >= kImageSize || (count > 0 && !samples))
        return -1;

    BFragment& fragment = fragments_[slot];
    fragment.name = LimitFragmentName(name);
    fragment.start = block.start;
    fragment.length = std::min({block.length, count, kImageSize - block.start});
    fragment.synced = false;
    std::memcpy(image_.data() + fragment.start, samples, fragment.length);
    return slot;
}

bool BProfile::RenameFragment(int index, const std::string& name)
{
    if (!IsSlot(index))
        return false;
    fragments_[index].name = LimitFragmentName(name);
    return true;
}

bool BProfile::SetButton(int button, uint8_t value)
{
    if (button < 0 || button >= kButtonCount)
        return false;
    buttons_[button] = value;
    return true;
}

bool BProfile::AppendPlaylistEntry(int index)
{
    if (!IsSlot(index))
        return false;
    for (uint8_t& entry : playlist_) {
        if (!IsPlaylistReference(entry)) {
            entry = static_cast<uint8_t>(index);
            playlistSynced_ = false;
            return true;
        }
    }
    return false;   // the playlist is full
}

bool BProfile::InsertPlaylistEntry(int position, int index)
{
    if (!IsPosition(position) || !IsSlot(index))
        return false;
    InsertPlaylistAt(position, static_cast<uint8_t>(index));
    playlistSynced_ = false;
    return true;
}

bool BProfile::RemovePlaylistEntry(int position)
{
    if (!IsPosition(position))
        return false;
    ErasePlaylistAt(position);
    playlistSynced_ = false;
    return true;
}

bool BProfile::MovePlaylistEntry(int from, int to)
{
    if (!IsPosition(from) || !IsPosition(to))
        return false;
    if (to == from || to == from + 1)
        return true;   // dropped where it already is
    uint8_t value = playlist_[from];
    ErasePlaylistAt(from);
    if (to > from)
        --to;
    InsertPlaylistAt(to, value);
    return true;
}

void BProfile::ErasePlaylistAt(int position)
{
    std::copy(playlist_ + position + 1, playlist_ + kMaxPlaylistEntries, playlist_ + position);
    playlist_[kMaxPlaylistEntries - 1] = kNone;
}

void BProfile::InsertPlaylistAt(int position, uint8_t value)
{
    // The last entry falls off the end.
    std::copy_backward(playlist_ + position, playlist_ + kMaxPlaylistEntries - 1,
                       playlist_ + kMaxPlaylistEntries);
    playlist_[position] = value;
}

const BFragment& BProfile::GetFragment(int index) const
{
    static const BFragment kEmptySlot;
    return IsSlot(index) ? fragments_[index] : kEmptySlot;
}

bool BProfile::SetFragment(int index, const BFragment& fragment)
{
    if (!IsSlot(index))
        return false;
    fragments_[index] = fragment;
    fragments_[index].name = LimitFragmentName(fragment.name);
    return true;
}

bool BProfile::SetFragmentSynced(int index, bool synced)
{
    if (!IsSlot(index))
        return false;
    fragments_[index].synced = synced;
    return true;
}

int BProfile::CountFragments() const
{
    return static_cast<int>(std::count_if(std::begin(fragments_), std::end(fragments_),
                                          [](const BFragment& f) { return f.IsInUse(); }));
}

int BProfile::FindEmptySlot() const
{
    for (int slot = 0; slot < kMaxFragments; ++slot) {
        if (!fragments_[slot].IsInUse())
            return slot;
    }
    return -1;
}

uint8_t BProfile::GetButton(int button) const
{
    return button >= 0 && button < kButtonCount ? buttons_[button] : kNone;
}

uint8_t BProfile::GetPlaylistEntry(int position) const
{
    return IsPosition(position) ? playlist_[position] : kNone;
}

bool BProfile::SetPlaylistEntry(int position, uint8_t value)
{
    if (!IsPosition(position))
        return false;
    playlist_[position] = value;
    return true;
}
