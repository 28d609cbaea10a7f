#include "audio/wave_writer.h"

#include <cctype>

#include "audio/durations.h"
#include "platform/error_text.h"
#include "platform/file.h"

namespace {

void PutLittleEndian(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace

std::string EncodeSirenWave(const uint8_t* samples, uint32_t count) {
  const uint32_t rate = static_cast<uint32_t>(kSirenSampleRate);
  const uint32_t padded = count + (count & 1);  // a chunk of odd size is followed by a pad byte
  std::string file;
  file.reserve(44 + padded);
  file += "RIFF";
  PutLittleEndian(file, 4 + 8 + 16 + 8 + padded, 4);
  file += "WAVEfmt ";
  PutLittleEndian(file, 16, 4);
  PutLittleEndian(file, 1, 2);     // PCM
  PutLittleEndian(file, 1, 2);     // channels
  PutLittleEndian(file, rate, 4);  // samples per second
  PutLittleEndian(file, rate, 4);  // bytes per second
  PutLittleEndian(file, 1, 2);     // block align
  PutLittleEndian(file, 8, 2);     // bits per sample
  file += "data";
  PutLittleEndian(file, count, 4);
  for (uint32_t i = 0; i < count; ++i) file.push_back(static_cast<char>(samples[i] + 128));
  if (count & 1) file.push_back('\0');
  return file;
}

bool WriteSirenWave(const std::string& path, const uint8_t* samples, uint32_t count,
                    unsigned long& systemError) {
  const std::string content = EncodeSirenWave(samples, count);
  BFile file;
  std::string tempPath;
  if (!file.CreateTemporary(path, tempPath)) {
    systemError = GetLastSystemError();
    return false;
  }
  bool complete = file.Write(content.data(), content.size()) == static_cast<long>(content.size()) &&
                  file.Flush() && file.Close() && BFile::Replace(tempPath, path);
  if (!complete) {
    systemError = GetLastSystemError();  // before the clean-up changes it
    file.Close();
    BFile::Remove(tempPath);
    return false;
  }
  systemError = 0;
  return true;
}

std::string WaveFileNameFor(const std::string& fragmentName) {
  std::string name = fragmentName;
  for (char& c : name)
    if (static_cast<unsigned char>(c) < 32 ||
        std::string("\\/:*?\"<>|").find(c) != std::string::npos)
      c = '_';
  const std::string suffix = ".wav";
  std::string ending = name.size() >= suffix.size() ? name.substr(name.size() - suffix.size()) : "";
  for (char& c : ending) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ending == suffix ? name : name + suffix;
}
