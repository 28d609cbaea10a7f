#include "model/profile_state.h"

#include <algorithm>

#include "model/profile.h"

void BProfileState::Capture(const BProfile& profile) {
  for (int slot = 0; slot < kMaxFragments; ++slot) fragments[slot] = profile.GetFragment(slot);
  for (int position = 0; position < kMaxPlaylistEntries; ++position)
    playlist[position] = profile.GetPlaylistEntry(position);
  for (int button = 0; button < kButtonCount; ++button) buttons[button] = profile.GetButton(button);
  playlistSynced = profile.IsPlaylistSynced();
  image.resize(kImageSize);
  std::copy(profile.Image(), profile.Image() + kImageSize, image.begin());
}
