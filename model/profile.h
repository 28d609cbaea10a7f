// BProfile: the document. A byte-for-byte image of the siren's sound memory,
// the table of the fragments in it, the siren's playlist and button bindings,
// and the bits of link state the memory jobs need.
//
// Threads: the user-interface thread runs every operation. During a memory
// job the serial worker thread also stores what the siren returns (IC count,
// job cursor, table entries, playlist, bindings, image bytes) and reads image
// bytes at TransferAddress; the main window keeps every command that changes
// the profile switched off while a job runs, and refuses one that arrives
// anyway (a dropped file, say), so the two never overlap.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "model/fragment.h"
#include "model/geometry.h"
#include "model/mem_range.h"
#include "model/profile_messages.h"

// What DropDanglingReferences took out: playlist entries and button
// bindings that named a slot not in use.
struct BDroppedReferences {
  std::vector<int> playlistPositions;  // positions the entries had, before any of them went
  std::vector<int> buttons;            // buttons that became unused (kNone)

  bool IsEmpty() const { return playlistPositions.empty() && buttons.empty(); }
};

class BProfile {
 public:
  // Allocates the image once (throws std::bad_alloc only if 256 KB cannot be
  // had at start-up, when the program could not work anyway), then starts
  // with an empty profile and no siren.
  BProfile();
  BProfile(const BProfile&) = delete;
  BProfile& operator=(const BProfile&) = delete;

  // Empty slots, no bindings, empty playlist, erased image. The link state
  // stays, except that the playlist is no longer synced when it changed.
  void Reset();
  // IC count 0, job cursor 0, nothing synced.
  void ResetLinkState();
  // The content of `other` (fragments, names, playlist, buttons, image), with
  // a link state of its own, reset: a copy to write to another siren.
  void CopyContentFrom(const BProfile& other);

  // Bytes of the connected siren's memory; 0 while no siren has reported.
  uint32_t Capacity() const;
  // Like Capacity, but with no siren the whole image counts.
  uint32_t PlacementCapacity() const;

  // Free blocks in address order; empty when the memory is full.
  std::vector<BMemRange> GetFreeBlocks() const;
  // Puts a new fragment into the first empty slot at block.start, with
  // min(block.length, count) bytes copied from samples. Returns the slot,
  // or -1 when there is no empty slot or the block is not inside the image.
  int PlaceFragment(const std::string& name, const BMemRange& block, const uint8_t* samples,
                    uint32_t count);
  bool NeedsDefragment() const;
  // Moves the fragments together from address 0 in slot order and removes
  // the empty slots between them, renumbering the playlist and the bindings.
  // A fragment stays synced only when it kept both its slot and its place.
  // References to empty slots are dropped first (DropDanglingReferences),
  // so that none can come to name a fragment moved into that slot; returns
  // what was dropped.
  BDroppedReferences Defragment();
  // Erases the fragment's bytes, closes the gap in the table and renumbers
  // the playlist entries and the bindings (never an end mark). Every slot
  // whose table entry changed is no longer synced. False for a bad index.
  bool DeleteFragment(int index);
  // Cuts count bytes from the absolute address onwards out of a fragment;
  // a count reaching past the fragment's end cuts to the end. A cut at the
  // head makes the fragment begin later (no byte moves); a cut inside moves
  // the tail down; the bytes given up become 0xFF. False, with nothing
  // changed, for a bad index, an empty slot, an address outside the
  // fragment (the address just past its end is inside, and cuts nothing),
  // or a fragment reaching past the image (a damaged table). A zero count
  // succeeds and changes nothing.
  bool DeleteRange(int index, uint32_t address, uint32_t count);
  // Hands `count` bytes of the fragment from `offset` (counted from its
  // start, cut to the part inside the image) to `change`, which may rewrite
  // them in place (amplification). False, with nothing called, for a bad
  // index, an empty slot or an offset at or past the end of that part.
  bool ChangeFragmentBytes(int index, uint32_t offset, uint32_t count,
                           const std::function<void(uint8_t* bytes, uint32_t count)>& change);
  // Gives a fragment in use a recorded state (the edit history's undo and
  // redo): its start and length, and `bytes` from its start (as many as fit
  // in the image). What the fragment held and no longer holds becomes 0xFF.
  // The caller makes sure that no other fragment's bytes are overwritten.
  // False, with nothing changed, for a bad index or an empty slot.
  bool RestoreFragment(int index, uint32_t start, uint32_t length,
                       const std::vector<uint8_t>& bytes);
  // Names longer than kMaxNameLength bytes are cut; the synced flag stays
  // (the siren's table holds no names). False for a bad index.
  bool RenameFragment(int index, const std::string& name);
  bool SetButton(int button, uint8_t value);

  // The playlist is its entries up to the end mark, the first value that is
  // not a fragment reference; every position from the end mark on holds
  // kNone once the profile has touched the playlist (load, read, any edit),
  // so that the file, the siren and both players see what the panel shows.
  // Each edit clears the playlist-synced flag when the 16 values changed.
  // The edits refuse a fragment index of 8 or more (it would end the
  // playlist) and positions beyond the end mark.
  int PlaylistLength() const;  // entries before the end mark
  // Puts the index at the end mark; the next position becomes the end mark.
  bool AppendPlaylistEntry(int index);
  bool InsertPlaylistEntry(int position, int index);
  bool RemovePlaylistEntry(int position);
  // Moves the entry at from in front of the entry at to; a `to` of
  // PlaylistLength() moves it to the last position.
  bool MovePlaylistEntry(int from, int to);
  // Sets every position from the end mark on to kNone; true when that changed
  // anything (what the siren or a file held behind the end).
  bool TrimPlaylist();

  bool HasFragmentsBeyondMemory() const;
  // Builds the ranges a memory job transfers, in slot order; returns their total.
  uint32_t BuildTransferPlan();
  // The image address of the n-th byte of the plan; false when n is not
  // below the total.
  bool TransferAddress(uint32_t n, uint32_t& address) const;
  const std::vector<BMemRange>& GetTransferPlan() const { return m_transferPlan; }
  // The slot of each range of the plan.
  const std::vector<int>& GetTransferFragments() const { return m_transferFragments; }

  // The profile file. On false GetErrorText says why; a failed Load leaves
  // the profile as it was, a failed Save leaves the old file as it was. A
  // loaded profile is not synced (the playlist only if it changed), and what
  // the file holds behind the playlist's end mark is not kept, nor are the
  // references to empty slots (DropDanglingReferences); `dropped`, when
  // given, receives those of a successful Load.
  bool Save(const std::string& path);
  bool Load(const std::string& path, BDroppedReferences* dropped = nullptr);
  const std::string& GetErrorText() const { return m_errorText; }
  BProfileError GetErrorKind() const { return m_errorKind; }
  unsigned long GetErrorCode() const { return m_errorCode; }  // for BProfileError::System
  void SetMessages(const BProfileMessages& messages) { m_messages = messages; }

  // Link state.
  int GetICCount() const { return m_icCount; }
  void SetICCount(int count) { m_icCount = count; }
  int GetJobCursor() const { return m_jobCursor; }
  void SetJobCursor(int cursor) { m_jobCursor = cursor; }
  // The playlist's 16 positions were stored in the siren (read or written)
  // and have not changed since.
  bool IsPlaylistSynced() const { return m_playlistSynced; }
  void SetPlaylistSynced(bool synced) { m_playlistSynced = synced; }
  // The siren plays what this playlist plays: its positions are stored
  // (IsPlaylistSynced) and every fragment it names is in use and synced.
  bool IsPlaylistInStep() const;

  // Takes out every playlist entry that names a slot not in use (the later
  // ones move up) and makes unused every button that names such a slot or
  // no slot at all, so that no reference waits unseen for the next fragment
  // put into that slot.
  // Load and Defragment call it themselves; a job that stores a table read
  // from the siren calls it once the fragment entries, the playlist and the
  // buttons are all stored, and shows the result as the window does after
  // Load. The playlist-synced flag is cleared when the playlist changed.
  BDroppedReferences DropDanglingReferences();

  // The fragment table. GetFragment gives an empty slot for a bad index.
  //
  // In step: a fragment's synced flag says that the siren's slot and memory
  // hold its start, length and bytes. Every editing operation above that
  // changes them (PlaceFragment, DeleteRange, ChangeFragmentBytes,
  // RestoreFragment, Defragment, DeleteFragment) clears the flag of that
  // fragment; one that changes nothing leaves it. The raw setters below and
  // the non-const Image() are for the siren jobs and tests, which set the
  // flag themselves.
  const BFragment& GetFragment(int index) const;
  // Stores a table entry as it is (e.g. read from the siren), the name cut
  // to kMaxNameLength. False for a bad index.
  bool SetFragment(int index, const BFragment& fragment);
  bool SetFragmentSynced(int index, bool synced);
  int CountFragments() const;  // slots in use
  int FindEmptySlot() const;   // first empty slot, or -1

  // Bindings and playlist, stored as they are (no renumbering, no flags).
  uint8_t GetButton(int button) const;           // kNone for a bad button
  uint8_t GetPlaylistEntry(int position) const;  // kNone for a bad position
  bool SetPlaylistEntry(int position, uint8_t value);

  // The image: kImageSize bytes; the pointer stays the same for the
  // profile's whole life.
  const uint8_t* Image() const { return m_image.data(); }
  uint8_t* Image() { return m_image.data(); }

 private:
  static bool IsSlot(int index) { return index >= 0 && index < kMaxFragments; }
  static bool IsPosition(int position) { return position >= 0 && position < kMaxPlaylistEntries; }
  using PlaylistValues = std::array<uint8_t, kMaxPlaylistEntries>;
  PlaylistValues PlaylistSnapshot() const;
  // Trims the playlist and clears the playlist-synced flag when its values
  // differ from `before`.
  void FinishPlaylistChange(const PlaylistValues& before);
  void ErasePlaylistAt(int position);
  void InsertPlaylistAt(int position, uint8_t value);
  void EraseImage(const BMemRange& range);
  // Runs `edit` on fragment `index` and clears its synced flag when its
  // start, length or bytes differ afterwards.
  template <typename Edit>
  void EditFragment(int index, Edit&& edit);
  void SetError(BProfileError kind, unsigned long code = 0);

  int m_icCount = 0;
  int m_jobCursor = 0;
  BFragment m_fragments[kMaxFragments];
  uint8_t m_buttons[kButtonCount];
  bool m_playlistSynced = false;
  uint8_t m_playlist[kMaxPlaylistEntries];
  std::vector<uint8_t> m_image;
  std::string m_errorText;
  BProfileError m_errorKind = BProfileError::None;
  unsigned long m_errorCode = 0;
  BProfileMessages m_messages;
  std::vector<BMemRange> m_transferPlan;
  std::vector<int> m_transferFragments;  // parallel to m_transferPlan
};
