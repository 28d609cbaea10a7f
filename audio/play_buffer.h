// The sound the local player plays: one fragment, or the whole playlist, in
// the siren's bytes shifted to unsigned 8-bit, with the segments telling
// where each part comes from in the memory image.
//
// Threads: the user-interface thread loads, releases and seeks; the player's
// thread calls Fill. The owner serialises the two with the player's buffer
// lock (no Fill runs while the buffer is loaded or released).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/profile.h"

struct PlaySegment {
  uint32_t bufferStart;  // index in the play buffer
  uint32_t address;      // address of the fragment in the memory image
  uint32_t length;       // samples
};

class BPlayBuffer {
 public:
  // One fragment's bytes; false (and empty) for an empty slot.
  bool LoadFragment(const BProfile& profile, int index);
  // The playlist's fragments one behind the other (a fragment listed twice is
  // copied twice); false (and empty) when they add up to nothing.
  bool LoadPlaylist(const BProfile& profile);
  // A sound in the siren's signed bytes that is no part of the profile (a
  // preview): no segment, no address.
  void LoadSound(const std::vector<uint8_t>& samples);
  void Release();

  bool IsEmpty() const { return m_samples.empty(); }
  uint32_t Length() const { return static_cast<uint32_t>(m_samples.size()); }
  uint32_t Position() const { return m_position; }
  void SetPosition(uint32_t position) { m_position = position < Length() ? position : Length(); }
  const std::vector<PlaySegment>& Segments() const { return m_segments; }
  const std::vector<uint8_t>& Samples() const { return m_samples; }
  // The samples, for a preview that writes into them (under the player's lock).
  uint8_t* Data() { return m_samples.data(); }

  // The segment that holds buffer position p, or -1.
  int SegmentAt(uint32_t p) const;
  // The memory address of buffer position p, or -1.
  int64_t AddressAt(uint32_t p) const;

  // Copies the next samples into `out`. At the end, when looping, playback
  // goes back to 0 first (`restarted`). A count of 0 means nothing is left.
  struct Filled {
    uint32_t count;
    bool restarted;
  };
  Filled Fill(uint8_t* out, uint32_t capacity, bool looping);

 private:
  void Append(const BProfile& profile, const BFragment& fragment);

  std::vector<uint8_t> m_samples;
  std::vector<PlaySegment> m_segments;
  uint32_t m_position = 0;
};

// Where play starts from the thumb at `thumb`: inside a marked range (when
// its end is above its start) the thumb counts only if it lies within it;
// otherwise play starts at the range's start.
uint32_t PlayStartPosition(uint32_t thumb, uint32_t rangeStart, uint32_t rangeEnd);

// The time field of the player: "%02d.%03d/%02d.%03d" for sounds shorter
// than a minute, else "%02d:%02d/%02d:%02d" (minutes and seconds).
std::string PlayTimeText(uint32_t position, uint32_t length);
