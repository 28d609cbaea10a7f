#include "test_files.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

#include "model/profile.h"

namespace {

void RemoveTree(const std::string& path) {
  if (DIR* dir = opendir(path.c_str())) {
    while (dirent* entry = readdir(dir)) {
      std::string name = entry->d_name;
      if (name == "." || name == "..") continue;
      std::string child = path + "/" + name;
      struct stat info;
      if (lstat(child.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        chmod(child.c_str(), 0700);
        RemoveTree(child);
      } else {
        unlink(child.c_str());
      }
    }
    closedir(dir);
  }
  rmdir(path.c_str());
}

}  // namespace

TestFolder::TestFolder() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/sirelta-test-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (!mkdtemp(buffer.data())) throw std::runtime_error("cannot create a temporary folder");
  m_path = buffer.data();
}

TestFolder::~TestFolder() { RemoveTree(m_path); }

std::vector<std::string> TestFolder::List() const {
  std::vector<std::string> names;
  if (DIR* dir = opendir(m_path.c_str())) {
    while (dirent* entry = readdir(dir)) {
      std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

BProfileMessages TestMessages() {
  BProfileMessages messages;
  messages.notProfile = "Файл не является файлом профиля Sirelta.";
  messages.otherVersion = "Файл не поддерживается текущей версией программы.";
  messages.unexpectedEnd = "Неожиданно достигнут конец файла.";
  return messages;
}

std::vector<uint8_t> Snapshot(const BProfile& profile) {
  std::vector<uint8_t> bytes;
  auto put32 = [&](uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
      bytes.push_back(static_cast<uint8_t>(value >> shift));
  };
  put32(static_cast<uint32_t>(profile.GetICCount()));
  put32(static_cast<uint32_t>(profile.GetJobCursor()));
  bytes.push_back(profile.IsPlaylistSynced());
  for (int slot = 0; slot < kMaxFragments; ++slot) {
    const BFragment& fragment = profile.GetFragment(slot);
    put32(static_cast<uint32_t>(fragment.name.size()));
    bytes.insert(bytes.end(), fragment.name.begin(), fragment.name.end());
    put32(fragment.start);
    put32(fragment.length);
    bytes.push_back(fragment.synced);
  }
  for (int button = 0; button < kButtonCount; ++button) bytes.push_back(profile.GetButton(button));
  for (int position = 0; position < kMaxPlaylistEntries; ++position)
    bytes.push_back(profile.GetPlaylistEntry(position));
  bytes.insert(bytes.end(), profile.Image(), profile.Image() + kImageSize);
  return bytes;
}
