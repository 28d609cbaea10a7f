#include "emulator/siren_state.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

const char kMagic[4] = {'S', 'E', 'M', 'U'};
const uint32_t kVersion = 1;

void PutUint24(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 0; shift < 24; shift += 8)
    out.push_back(static_cast<uint8_t>((value >> shift) & 0xFF));
}

uint32_t GetUint(const uint8_t* bytes, int count) {
  uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = (value << 8) | bytes[i];
  return value;
}

}  // namespace

BSirenState::BSirenState() { Reset(); }

void BSirenState::Reset() {
  fragments.fill(BSirenFragmentEntry{});
  playlist.fill(kNone);
  buttons.fill(kNone);
  memory.assign(kMemorySize, kErased);
}

bool BSirenState::IsEntryEmpty(int index) const {
  return fragments[index].start == kEmptyValue && fragments[index].length == kEmptyValue;
}

std::vector<uint8_t> BSirenState::Serialize() const {
  std::vector<uint8_t> out;
  out.reserve(kFileSize);
  out.insert(out.end(), kMagic, kMagic + 4);
  for (int shift = 0; shift < 32; shift += 8)
    out.push_back(static_cast<uint8_t>((kVersion >> shift) & 0xFF));
  for (const BSirenFragmentEntry& entry : fragments) {
    PutUint24(out, entry.start);
    PutUint24(out, entry.length);
  }
  out.insert(out.end(), playlist.begin(), playlist.end());
  out.insert(out.end(), buttons.begin(), buttons.end());
  out.insert(out.end(), memory.begin(), memory.end());
  return out;
}

bool BSirenState::Deserialize(const std::vector<uint8_t>& bytes) {
  if (bytes.size() != kFileSize || std::memcmp(bytes.data(), kMagic, 4) != 0) {
    m_errorText = "not an emulator state file";
    return false;
  }
  if (GetUint(bytes.data() + 4, 4) != kVersion) {
    m_errorText = "unsupported state file version";
    return false;
  }
  const uint8_t* p = bytes.data() + kHeaderSize;
  for (BSirenFragmentEntry& entry : fragments) {
    entry.start = GetUint(p, 3);
    entry.length = GetUint(p + 3, 3);
    p += 6;
  }
  std::copy(p, p + kPlaylistLength, playlist.begin());
  p += kPlaylistLength;
  std::copy(p, p + kButtonCount, buttons.begin());
  p += kButtonCount;
  memory.assign(p, p + kMemorySize);
  return true;
}

bool BSirenState::Load(const std::string& path) {
  m_errorText.clear();
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    m_errorText = "cannot open " + path;
    return false;
  }
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                             std::istreambuf_iterator<char>());
  if (file.bad()) {
    m_errorText = "cannot read " + path;
    return false;
  }
  BSirenState loaded;
  if (!loaded.Deserialize(bytes)) {
    m_errorText = loaded.m_errorText + ": " + path;
    return false;
  }
  fragments = loaded.fragments;
  playlist = loaded.playlist;
  buttons = loaded.buttons;
  memory.swap(loaded.memory);
  return true;
}

bool BSirenState::Save(const std::string& path) {
  m_errorText.clear();
  const std::string temporary = path + ".tmp";
  const std::vector<uint8_t> bytes = Serialize();
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    if (!file) {
      m_errorText = "cannot create " + temporary;
      return false;
    }
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
      m_errorText = "cannot write " + temporary;
      std::remove(temporary.c_str());
      return false;
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    // Some systems refuse to rename over an existing file; replace it then.
    std::remove(path.c_str());
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
      m_errorText = "cannot replace " + path;
      std::remove(temporary.c_str());
      return false;
    }
  }
  return true;
}

bool BSirenState::FileExists(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return static_cast<bool>(file);
}
