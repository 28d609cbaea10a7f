// Helpers for tests that work with real files in a private temporary folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/profile_messages.h"

// A fresh folder under the system's temporary folder, removed with its content.
class TestFolder {
 public:
  TestFolder();
  ~TestFolder();
  TestFolder(const TestFolder&) = delete;
  TestFolder& operator=(const TestFolder&) = delete;

  const std::string& Path() const { return m_path; }
  std::string File(const std::string& name) const { return m_path + "/" + name; }
  // The names of the files in the folder, sorted.
  std::vector<std::string> List() const;

 private:
  std::string m_path;
};

std::vector<uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);

// The texts the program shows for the three profile file failures.
BProfileMessages TestMessages();

class BProfile;

// Every piece of state of a profile, as bytes, to tell whether anything changed.
std::vector<uint8_t> Snapshot(const BProfile& profile);
