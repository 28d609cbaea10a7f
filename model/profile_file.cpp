// BProfile: the profile file.
//
// Layout (little-endian): the magic "ZPF\0"; 16 fragment records, each a name
// length byte N, N name bytes, start (4 bytes) and length (4 bytes); 4 button
// bytes; 16 playlist bytes; the 262140-byte image. Anything after the image
// is ignored.
//
// Save writes a fresh file next to the target and puts it in the target's
// place only when it is complete, so a failure never harms the old file.
// Load reads everything aside and changes the profile only after a complete
// good read.
#include "model/profile.h"
#include "model/profile_names.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "platform/error_text.h"
#include "platform/file.h"

namespace {

const uint8_t kMagic[4] = {'Z', 'P', 'F', 0};
const std::size_t kPieceSize = 1024;  // the image moves in pieces of this size

// A profile of another version: the first byte has the magic's upper four
// bits and the second byte is the magic's second byte.
bool IsOtherVersion(const uint8_t head[4]) {
  return (head[0] & 0xF0) == (kMagic[0] & 0xF0) && head[1] == kMagic[1];
}

void PutUint32(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

uint32_t GetUint32(const uint8_t bytes[4]) {
  return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
         uint32_t(bytes[3]) << 24;
}

// Everything of the file before the image.
std::vector<uint8_t> EncodeHead(const BFragment* fragments, const uint8_t* buttons,
                                const uint8_t* playlist) {
  std::vector<uint8_t> head(kMagic, kMagic + sizeof kMagic);
  for (int slot = 0; slot < kMaxFragments; ++slot) {
    const BFragment& fragment = fragments[slot];
    const std::string name = NameForFile(fragment.name);
    head.push_back(static_cast<uint8_t>(name.size()));
    head.insert(head.end(), name.begin(), name.end());
    PutUint32(head, fragment.start);
    PutUint32(head, fragment.length);
  }
  head.insert(head.end(), buttons, buttons + kButtonCount);
  head.insert(head.end(), playlist, playlist + kMaxPlaylistEntries);
  return head;
}

// Reads a file in pieces of kPieceSize bytes and hands out exact field sizes.
class PieceReader {
 public:
  enum Result { kOk, kEnd, kFailed };

  explicit PieceReader(BFile& file) : m_file(file) {}

  Result Take(void* destination, std::size_t size) {
    uint8_t* out = static_cast<uint8_t*>(destination);
    while (size > 0) {
      if (m_next == m_filled) {
        long got = m_file.Read(m_piece, sizeof m_piece);
        if (got < 0) return kFailed;
        if (got == 0) return kEnd;
        m_next = 0;
        m_filled = static_cast<std::size_t>(got);
      }
      std::size_t part = std::min(size, m_filled - m_next);
      std::memcpy(out, m_piece + m_next, part);
      out += part;
      m_next += part;
      size -= part;
    }
    return kOk;
  }

 private:
  BFile& m_file;
  uint8_t m_piece[kPieceSize];
  std::size_t m_next = 0;
  std::size_t m_filled = 0;
};

uint8_t LoadedReference(uint8_t stored) { return stored >= 128 ? kNone : stored; }

}  // namespace

void BProfile::SetError(BProfileError kind, unsigned long code) {
  m_errorKind = kind;
  m_errorCode = code;
  switch (kind) {
    case BProfileError::None:
      m_errorText.clear();
      break;
    case BProfileError::System:
      m_errorText = ::GetErrorText(code);
      break;
    case BProfileError::NotProfile:
      m_errorText = m_messages.notProfile;
      break;
    case BProfileError::OtherVersion:
      m_errorText = m_messages.otherVersion;
      break;
    case BProfileError::UnexpectedEnd:
      m_errorText = m_messages.unexpectedEnd;
      break;
  }
}

bool BProfile::Save(const std::string& path) {
  const std::vector<uint8_t> head = EncodeHead(m_fragments, m_buttons, m_playlist);

  BFile file;
  std::string tempPath;
  if (!file.CreateTemporary(path, tempPath)) {
    SetError(BProfileError::System, GetLastSystemError());
    return false;
  }

  bool written = file.Write(head.data(), head.size()) == static_cast<long>(head.size());
  for (uint32_t done = 0; written && done < kImageSize; done += kPieceSize) {
    std::size_t piece = std::min<std::size_t>(kPieceSize, kImageSize - done);
    written = file.Write(m_image.data() + done, piece) == static_cast<long>(piece);
  }
  bool complete = written && file.Flush() && file.Close() && BFile::Replace(tempPath, path);
  if (!complete) {
    unsigned long code = GetLastSystemError();  // before the clean-up changes it
    file.Close();
    BFile::Remove(tempPath);
    SetError(BProfileError::System, code);
    return false;
  }
  SetError(BProfileError::None);
  return true;
}

bool BProfile::Load(const std::string& path, BDroppedReferences* dropped) {
  std::unique_ptr<uint8_t[]> image(new (std::nothrow) uint8_t[kImageSize]);
  if (!image) {
    SetError(BProfileError::System, OutOfMemorySystemError());
    return false;
  }

  BFile file;
  if (!file.OpenRead(path)) {
    SetError(BProfileError::System, GetLastSystemError());
    return false;
  }
  PieceReader reader(file);
  BProfileError failure = BProfileError::None;
  auto take = [&](void* destination, std::size_t size) {
    if (failure != BProfileError::None) return false;
    PieceReader::Result result = reader.Take(destination, size);
    if (result == PieceReader::kFailed)
      failure = BProfileError::System;
    else if (result == PieceReader::kEnd)
      failure = BProfileError::UnexpectedEnd;
    return result == PieceReader::kOk;
  };
  auto fail = [&](BProfileError kind) {
    unsigned long code = kind == BProfileError::System ? GetLastSystemError() : 0;
    SetError(kind, code);
    return false;
  };

  uint8_t head[4];
  if (!take(head, sizeof head)) return fail(failure);
  if (std::memcmp(head, kMagic, sizeof kMagic) != 0)
    return fail(IsOtherVersion(head) ? BProfileError::OtherVersion : BProfileError::NotProfile);

  BFragment fragments[kMaxFragments];
  for (BFragment& fragment : fragments) {
    uint8_t nameLength = 0;
    char name[kMaxNameLength];
    uint8_t numbers[8];
    if (!take(&nameLength, 1) || !take(name, nameLength) || !take(numbers, sizeof numbers))
      return fail(failure);
    fragment.name = NameFromFile(std::string(name, nameLength));
    fragment.start = GetUint32(numbers);
    fragment.length = GetUint32(numbers + 4);
    // Cut a fragment that runs past the image. With start beyond the
    // image the difference wraps around and the slot becomes empty.
    if (fragment.IsInUse() && fragment.start + fragment.length > kImageSize)
      fragment.length = kImageSize - fragment.start;
    fragment.synced = false;
  }

  uint8_t buttons[kButtonCount];
  uint8_t playlist[kMaxPlaylistEntries];
  if (!take(buttons, sizeof buttons) || !take(playlist, sizeof playlist) ||
      !take(image.get(), kImageSize))
    return fail(failure);
  file.Close();

  std::copy(std::begin(fragments), std::end(fragments), std::begin(m_fragments));
  // What a file holds behind the playlist's end mark is not kept (see TrimPlaylist).
  PlaylistValues before = PlaylistSnapshot();
  std::transform(std::begin(playlist), std::end(playlist), std::begin(m_playlist), LoadedReference);
  FinishPlaylistChange(before);
  std::transform(std::begin(buttons), std::end(buttons), std::begin(m_buttons), LoadedReference);
  std::memcpy(m_image.data(), image.get(), kImageSize);
  // A reference to an empty slot would silently name the next fragment put there.
  BDroppedReferences droppedHere = DropDanglingReferences();
  if (dropped) *dropped = std::move(droppedHere);
  SetError(BProfileError::None);
  return true;
}
