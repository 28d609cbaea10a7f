#include "link/com_ports.h"

#include <windows.h>
#include <winspool.h>

#include <cstring>
#include <vector>

#include "platform/text.h"

bool TakeComPortName(const char* reported, std::string& name) {
  if (reported == nullptr || std::strlen(reported) < 3) return false;
  for (int i = 0; i < 3; ++i)
    if ((reported[i] | 0x20) != "com"[i]) return false;
  name = reported;
  size_t colon = name.size() > 4 ? name.find(':', 4) : std::string::npos;
  if (colon != std::string::npos) name.resize(colon);
  return true;
}

std::vector<std::string> EnumerateComPorts() {
  std::vector<std::string> names;
  DWORD needed = 0;
  DWORD count = 0;
  ::EnumPortsW(nullptr, 1, nullptr, 0, &needed, &count);
  if (needed == 0) return names;
  std::vector<BYTE> buffer(needed);
  if (!::EnumPortsW(nullptr, 1, buffer.data(), needed, &needed, &count)) return names;

  const PORT_INFO_1W* ports = reinterpret_cast<const PORT_INFO_1W*>(buffer.data());
  for (DWORD i = 0; i < count; ++i) {
    std::string name;
    if (ports[i].pName != nullptr && TakeComPortName(Narrow(ports[i].pName).c_str(), name))
      names.push_back(name);
  }
  return names;
}
