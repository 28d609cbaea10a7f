// BSirenState: everything a siren keeps when it is switched off (its memory,
// fragment table, playlist and button bindings) and the file the emulator
// keeps it in between runs. Plain standard C++ only, so that tests on any
// platform can read what the emulator saved.
//
// State file layout (all numbers little-endian), 262264 bytes in total:
//
//   offset  size    content
//   0       4       magic "SEMU"
//   4       4       format version, 1
//   8       96      16 fragment entries of 6 bytes: start (3), length (3);
//                   0xFFFFF in both marks an empty entry
//   104     16      playlist, one fragment index per position, 255 = none
//   120     4       button bindings, one fragment index per button, 255 = none
//   124     262140  memory: 4 chips of 65535 bytes, 0xFF where erased
//
// The chip count is not part of the state: it is a property of the device the
// emulator plays (its --chips option), so one file can be tried with sirens of
// different sizes. The memory is always kept whole.
//
// Saving writes "<path>.tmp" and renames it over the file, so a file is either
// the old state or the new one, never half of each.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct BSirenFragmentEntry {
  uint32_t start = 0xFFFFF;
  uint32_t length = 0xFFFFF;
};

class BSirenState {
 public:
  static constexpr uint32_t kChipSize = 65535;
  static constexpr int kMaxChips = 4;
  static constexpr uint32_t kMemorySize = kChipSize * kMaxChips;  // 262140
  static constexpr uint32_t kEmptyValue = 0xFFFFF;
  static constexpr uint8_t kErased = 0xFF;
  static constexpr uint8_t kNone = 255;
  static constexpr int kFragmentCount = 16;
  static constexpr int kPlaylistLength = 16;
  static constexpr int kButtonCount = 4;
  static constexpr std::size_t kHeaderSize = 8;
  static constexpr std::size_t kFileSize =
      kHeaderSize + kFragmentCount * 6 + kPlaylistLength + kButtonCount + kMemorySize;

  BSirenState();

  // Erased memory, empty table, empty playlist, no bindings.
  void Reset();

  // False when the file cannot be read or is not a state file; the state is
  // then unchanged and GetErrorText says why.
  bool Load(const std::string& path);
  bool Save(const std::string& path);
  static bool FileExists(const std::string& path);
  const std::string& GetErrorText() const { return m_errorText; }

  bool IsEntryEmpty(int index) const;

  std::array<BSirenFragmentEntry, kFragmentCount> fragments;
  std::array<uint8_t, kPlaylistLength> playlist;
  std::array<uint8_t, kButtonCount> buttons;
  std::vector<uint8_t> memory;  // always kMemorySize bytes

 private:
  std::vector<uint8_t> Serialize() const;
  bool Deserialize(const std::vector<uint8_t>& bytes);

  std::string m_errorText;
};
