#include "link/com_ports.h"

#include <windows.h>
#include <winspool.h>
#include <setupapi.h>
#include <cfgmgr32.h>

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

namespace {

// The Ports device class (COM and LPT ports), {4D36E978-E325-11CE-BFC1-08002BE10318}.
const GUID kPortsClass = {
    0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

// A text property of the device; the first string of a list. Empty when missing.
std::string DeviceProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
  wchar_t buffer[512] = {};
  DWORD type = 0;
  if (!::SetupDiGetDeviceRegistryPropertyW(set, &device, property, &type,
                                           reinterpret_cast<BYTE*>(buffer), sizeof(buffer) - 4,
                                           nullptr))
    return std::string();
  if (type != REG_SZ && type != REG_MULTI_SZ) return std::string();
  return Narrow(buffer);
}

std::string InstanceId(DEVINST instance) {
  wchar_t id[MAX_DEVICE_ID_LEN + 1] = {};
  if (::CM_Get_Device_IDW(instance, id, MAX_DEVICE_ID_LEN, 0) != CR_SUCCESS) return std::string();
  return Narrow(id);
}

// The port's name ("COM5") from the device's own registry key.
std::string DevicePortName(HDEVINFO set, SP_DEVINFO_DATA& device) {
  HKEY key = ::SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
  if (key == INVALID_HANDLE_VALUE) return std::string();
  wchar_t name[64] = {};
  DWORD size = sizeof(name) - sizeof(wchar_t);
  DWORD type = 0;
  LONG read =
      ::RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(name), &size);
  ::RegCloseKey(key);
  if (read != ERROR_SUCCESS || type != REG_SZ) return std::string();
  std::string portName;
  return TakeComPortName(Narrow(name).c_str(), portName) ? portName : std::string();
}

// The USB device behind the port: the port's own device when USB enumerated
// it, else its parent or grandparent (an interface of a composite device, a
// vendor's bus driver). Its instance id, or the port's own when none is USB.
std::string UsbInstanceId(DEVINST port) {
  std::string own = InstanceId(port);
  DEVINST instance = port;
  for (int level = 0; level < 3; ++level) {
    std::string id = InstanceId(instance);
    if (id.compare(0, 8, "USB\\VID_") == 0) return id;
    DEVINST parent = 0;
    if (::CM_Get_Parent(&parent, instance, 0) != CR_SUCCESS) break;
    instance = parent;
  }
  return own;
}

}  // namespace

std::vector<BPresentPort> EnumeratePresentPorts() {
  std::vector<BPresentPort> ports;
  for (const std::string& name : EnumerateComPorts()) {
    BPresentPort port;
    port.name = name;
    ports.push_back(port);
  }
  HDEVINFO set = ::SetupDiGetClassDevsW(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
  if (set == INVALID_HANDLE_VALUE) return ports;
  SP_DEVINFO_DATA device = {};
  device.cbSize = sizeof(device);
  for (DWORD index = 0; ::SetupDiEnumDeviceInfo(set, index, &device); ++index) {
    std::string name = DevicePortName(set, device);
    if (name.empty()) continue;
    BPresentPort* port = nullptr;
    for (BPresentPort& listed : ports)
      if (_stricmp(listed.name.c_str(), name.c_str()) == 0) port = &listed;
    if (port == nullptr) {
      ports.push_back(BPresentPort());
      port = &ports.back();
      port->name = name;
    }
    port->friendlyName = DeviceProperty(set, device, SPDRP_FRIENDLYNAME);
    port->identity = IdentityFromDeviceIds(DeviceProperty(set, device, SPDRP_HARDWAREID),
                                           UsbInstanceId(device.DevInst),
                                           DeviceProperty(set, device, SPDRP_LOCATION_PATHS));
  }
  ::SetupDiDestroyDeviceInfoList(set);
  return ports;
}
