// The siren's memory geometry and the limits of its tables.
#pragma once

#include <cstddef>
#include <cstdint>

// The siren's sound: signed 8-bit mono samples at this rate.
constexpr uint32_t kSirenRate = 9765;
constexpr uint32_t kChipSize = 65535;  // bytes per memory chip (IC), not 65536
constexpr int kMaxChips = 4;
constexpr uint32_t kImageSize = kChipSize * kMaxChips;  // 262140: the image is always this big
constexpr uint32_t kAddressLimit = 0x40000;             // starts and lengths below it are valid
constexpr uint32_t kEmptySlotValue = 0xFFFFF;           // start and length of an empty slot
constexpr uint8_t kErasedByte = 0xFF;                   // an erased memory byte
constexpr uint8_t kNone = 255;  // "no fragment" in the playlist and bindings
constexpr int kMaxFragments = 16;
constexpr int kMaxPlaylistEntries = 16;
constexpr int kButtonCount = 4;
constexpr std::size_t kMaxNameLength = 255;  // the profile file keeps the length in one byte

inline bool IsValidAddress(uint32_t value) { return value < kAddressLimit; }

// The playlist editing and renumbering take a value as a fragment reference
// only when it is below 8; anything else ends the playlist.
inline bool IsPlaylistReference(uint8_t value) { return (value & 0xF8) == 0; }
