// BProfileState: a full copy of everything the user edits in a profile: the
// fragment table (names and in-step flags included), the playlist, the
// buttons, the playlist's in-step flag and the whole image. The document
// takes one before every edit and keeps only the difference to the profile
// afterwards (BProfileDelta).
//
// A copy keeps its buffers between captures: after the first capture,
// capturing again allocates nothing but fragment names.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "model/fragment.h"
#include "model/geometry.h"

class BProfile;

struct BProfileState {
  std::array<BFragment, kMaxFragments> fragments;
  std::array<uint8_t, kMaxPlaylistEntries> playlist{};
  std::array<uint8_t, kButtonCount> buttons{};
  bool playlistSynced = false;
  std::vector<uint8_t> image;  // kImageSize bytes once captured

  void Capture(const BProfile& profile);
};
