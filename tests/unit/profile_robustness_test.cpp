// Damaged and random profile files: loading them and working with what was
// loaded must never touch memory outside the image (the sanitizers watch),
// and a failed load must leave the profile exactly as it was.
#include <gtest/gtest.h>

#include <random>

#include "model/profile.h"
#include "test_files.h"

namespace {

using Random = std::mt19937;

uint32_t Pick(Random& random, uint32_t low, uint32_t high) {
  return std::uniform_int_distribution<uint32_t>(low, high)(random);
}

// A start or length value: mostly plausible, sometimes at the edges or garbage.
uint32_t AddressValue(Random& random) {
  switch (Pick(random, 0, 5)) {
    case 0:
      return Pick(random, 0, 1000);
    case 1:
      return Pick(random, 261000, 262150);
    case 2:
      return Pick(random, 0x3FFF0, 0x40010);
    case 3:
      return 0xFFFFF;
    case 4:
      return random();
    default:
      return Pick(random, 0, kImageSize);
  }
}

std::vector<uint8_t> RandomProfileFile(Random& random) {
  std::vector<uint8_t> bytes{'Z', 'P', 'F', 0};
  for (int slot = 0; slot < kMaxFragments; ++slot) {
    uint8_t nameLength =
        static_cast<uint8_t>(Pick(random, 0, 3) == 0 ? Pick(random, 0, 255) : Pick(random, 0, 8));
    bytes.push_back(nameLength);
    for (int i = 0; i < nameLength; ++i) bytes.push_back(static_cast<uint8_t>(random()));
    for (uint32_t value : {AddressValue(random), AddressValue(random)}) {
      for (int shift = 0; shift < 32; shift += 8)
        bytes.push_back(static_cast<uint8_t>(value >> shift));
    }
  }
  for (int i = 0; i < kButtonCount + kMaxPlaylistEntries; ++i)
    bytes.push_back(static_cast<uint8_t>(Pick(random, 0, 3) == 0 ? random() : Pick(random, 0, 16)));
  std::size_t imageStart = bytes.size();
  bytes.resize(imageStart + kImageSize, 0xFF);
  for (int i = 0; i < 64; ++i)
    bytes[imageStart + Pick(random, 0, kImageSize - 1)] = static_cast<uint8_t>(random());
  return bytes;
}

void Mutate(Random& random, std::vector<uint8_t>& bytes) {
  switch (Pick(random, 0, 5)) {
    case 0:  // cut anywhere
      bytes.resize(Pick(random, 0, static_cast<uint32_t>(bytes.size())));
      break;
    case 1:  // cut inside the head
      bytes.resize(Pick(random, 0, 600));
      break;
    case 2:  // flip bytes of the head
      for (uint32_t i = Pick(random, 1, 8); i > 0; --i)
        bytes[Pick(random, 0, 599)] = static_cast<uint8_t>(random());
      break;
    case 3:  // a different first word
      bytes[Pick(random, 0, 3)] = static_cast<uint8_t>(random());
      break;
    case 4:  // trailing garbage
      bytes.insert(bytes.end(), Pick(random, 1, 3000), static_cast<uint8_t>(random()));
      break;
    default:  // untouched
      break;
  }
}

// Runs every operation that walks the table over the image.
void Exercise(Random& random, BProfile& profile) {
  for (int chips = 0; chips <= 4; ++chips) {
    profile.SetICCount(chips);
    profile.HasFragmentsBeyondMemory();
    uint32_t total = profile.BuildTransferPlan();
    for (uint32_t n : {0u, total / 2, total - 1, total}) {
      uint32_t address = 0;
      if (profile.TransferAddress(n, address)) {
        ASSERT_LT(address, kImageSize);
      }
    }
  }
  profile.SetICCount(static_cast<int>(Pick(random, 0, 4)));
  for (const BMemRange& block : profile.GetFreeBlocks()) {
    static const std::vector<uint8_t> samples(kImageSize, 0x5A);
    if (profile.PlaceFragment("new", block, samples.data(), kImageSize) < 0) break;
  }
  profile.NeedsDefragment();
  profile.DeleteFragment(static_cast<int>(Pick(random, 0, 15)));
  profile.Defragment();
  for (int slot = 0; slot < kMaxFragments; ++slot) {
    const BFragment& fragment = profile.GetFragment(slot);
    if (fragment.IsInUse()) {
      ASSERT_LE(fragment.start + fragment.length, kImageSize) << slot;
    }
  }
  profile.GetFreeBlocks();
}

}  // namespace

TEST(ProfileRobustness, DamagedFilesNeverCrashAndFailedLoadsChangeNothing) {
  Random random(20240611);
  TestFolder folder;
  const std::string path = folder.File("fuzz.zpf");
  BProfile profile;
  profile.SetMessages(TestMessages());
  int loaded = 0;
  int refused = 0;

  for (int round = 0; round < 3000; ++round) {
    std::vector<uint8_t> bytes;
    if (Pick(random, 0, 9) == 0) {
      bytes.resize(Pick(random, 0, 300000));
      for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(random());
    } else {
      bytes = RandomProfileFile(random);
      Mutate(random, bytes);
    }
    WriteBytes(path, bytes);

    const std::vector<uint8_t> before = Snapshot(profile);
    if (profile.Load(path)) {
      ++loaded;
      ASSERT_NO_FATAL_FAILURE(Exercise(random, profile)) << "round " << round;
    } else {
      ++refused;
      ASSERT_NE(profile.GetErrorKind(), BProfileError::None);
      ASSERT_EQ(Snapshot(profile), before) << "round " << round;
    }
  }
  // Both paths must have been taken often for the test to mean anything.
  EXPECT_GT(loaded, 500);
  EXPECT_GT(refused, 500);
}
