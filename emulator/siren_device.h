// BSirenDevice: what a siren does with one well-formed request. It holds the
// device state (memory, fragment table, playlist, button bindings), the chip
// count it reports and what it is playing, and turns a request into the one
// reply frame the siren sends back.
//
// Behaviour where the siren has a choice:
// - The memory is min(chips, 4) x 65535 bytes (0 bytes for 0 chips); the chip
//   count itself is reported as given, even when it is impossible.
// - Read fragment with an index of 16 or more answers that index with an
//   empty entry (start and length 0xFFFFF).
// - Write fragment answers [index, status]: 1 for an index of 16 or more;
//   an entry of 0xFFFFF/0xFFFFF empties the slot; any other entry must lie
//   inside the memory (start + length <= memory size), else 255 and the
//   slot keeps its old value.
// - Play fragment answers [index, status]: 0xFF stops (always 0); 1 for an
//   index of 16 or more; 255 for an empty slot or one that does not lie
//   inside the memory. Playback lasts until a stop or another play.
// - Play playlist answers 255 when no entry before the first 255 refers to a
//   playable fragment; otherwise the playlist plays until a stop.
// - Read byte answers [255, 0] and write byte [255] for an address beyond the
//   memory; a written byte is stored as is.
// - Read playlist and read button answer [value, 0], or [255, 1] for a
//   position or button out of range.
// - Write playlist and write button: 1 for a bad position or button, 2 for a
//   value that is neither 255 nor a fragment index 0..15; an entry may refer
//   to an empty slot.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "emulator/request_parser.h"
#include "emulator/siren_state.h"

class BSirenDevice {
 public:
  enum class PlayKind { None, Fragment, Playlist };

  explicit BSirenDevice(uint8_t chips = 4);

  // The reply frame to a well-formed request; empty for a code the device
  // does not know (it never answers those).
  std::vector<uint8_t> Execute(const BSirenRequest& request);
  // The reply a table or memory command gets when the device refuses it
  // with the given status, without doing anything.
  static std::vector<uint8_t> BuildRefusal(const BSirenRequest& request, uint8_t status);

  uint8_t GetChips() const { return m_chips; }
  uint32_t MemorySize() const;
  PlayKind GetPlayKind() const { return m_playKind; }
  uint8_t GetPlayingFragment() const { return m_playingFragment; }
  // "stopped", "fragment 3", "playlist".
  std::string DescribePlayState() const;

  BSirenState& State() { return m_state; }
  const BSirenState& State() const { return m_state; }

 private:
  std::vector<uint8_t> ReadFragment(const uint8_t* p) const;
  std::vector<uint8_t> WriteFragment(const uint8_t* p);
  std::vector<uint8_t> PlayFragment(const uint8_t* p);
  std::vector<uint8_t> ReadByte(const uint8_t* p) const;
  std::vector<uint8_t> WriteByte(const uint8_t* p);
  std::vector<uint8_t> ReadPlaylist(const uint8_t* p) const;
  std::vector<uint8_t> WritePlaylist(const uint8_t* p);
  std::vector<uint8_t> PlayPlaylist();
  std::vector<uint8_t> ReadButton(const uint8_t* p) const;
  std::vector<uint8_t> WriteButton(const uint8_t* p);

  bool IsPlayable(uint8_t index) const;
  static bool IsFragmentValue(uint8_t value);

  BSirenState m_state;
  uint8_t m_chips;
  PlayKind m_playKind = PlayKind::None;
  uint8_t m_playingFragment = 0xFF;
};
