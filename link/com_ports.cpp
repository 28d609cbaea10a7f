#include "link/com_ports.h"

#include <windows.h>
#include <winspool.h>

#include <cstring>
#include <vector>

bool TakeComPortName(const char* reported, std::string& name) {
  if (reported == nullptr || std::strlen(reported) < 3) return false;
  if (::CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, reported, 3, "COM", 3) != CSTR_EQUAL)
    return false;
  name = reported;
  size_t colon = name.size() > 4 ? name.find(':', 4) : std::string::npos;
  if (colon != std::string::npos) name.resize(colon);
  return true;
}

std::vector<std::string> EnumerateComPorts() {
  std::vector<std::string> names;
  DWORD needed = 0;
  DWORD count = 0;
  ::EnumPortsA(nullptr, 1, nullptr, 0, &needed, &count);
  if (needed == 0) return names;
  std::vector<BYTE> buffer(needed);
  if (!::EnumPortsA(nullptr, 1, buffer.data(), needed, &needed, &count)) return names;

  const PORT_INFO_1A* ports = reinterpret_cast<const PORT_INFO_1A*>(buffer.data());
  for (DWORD i = 0; i < count; ++i) {
    std::string name;
    if (TakeComPortName(ports[i].pName, name)) names.push_back(name);
  }
  return names;
}
