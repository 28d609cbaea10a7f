#include "link/port_identity.h"

#include <cctype>

namespace {

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// The four hex digits after `key` ("VID_") in `id`, upper case, or empty.
std::string HexAfter(const std::string& id, const char* key) {
  const std::string upper = Upper(id);
  size_t at = upper.find(key);
  if (at == std::string::npos) return std::string();
  std::string digits = upper.substr(at + 4, 4);
  if (digits.size() != 4) return std::string();
  for (char c : digits)
    if (!std::isxdigit(static_cast<unsigned char>(c))) return std::string();
  return digits;
}

bool Has(const std::string& text, char c) { return text.find(c) != std::string::npos; }

}  // namespace

std::string BPortIdentity::ToString() const {
  return "vid=" + vid + ";pid=" + pid + ";serial=" + serial + ";location=" + location;
}

bool BPortIdentity::Parse(const std::string& text, BPortIdentity& identity) {
  identity = BPortIdentity();
  BPortIdentity read;
  std::string* fields[] = {&read.vid, &read.pid, &read.serial, &read.location};
  const char* keys[] = {"vid=", "pid=", "serial=", "location="};
  size_t at = 0;
  for (int i = 0; i < 4; ++i) {
    const std::string key = keys[i];
    if (text.compare(at, key.size(), key) != 0) return false;
    at += key.size();
    size_t end = i < 3 ? text.find(';', at) : text.size();
    if (end == std::string::npos) return false;
    *fields[i] = text.substr(at, end - at);
    at = end + 1;
  }
  if (read.IsEmpty()) return false;
  identity = read;
  return true;
}

bool BPortIdentity::operator==(const BPortIdentity& other) const {
  return vid == other.vid && pid == other.pid && serial == other.serial &&
         location == other.location;
}

BPortIdentity IdentityFromDeviceIds(const std::string& hardwareId, const std::string& instanceId,
                                    const std::string& locationPath) {
  BPortIdentity identity;
  identity.vid = HexAfter(hardwareId, "VID_");
  identity.pid = HexAfter(hardwareId, "PID_");
  if (identity.IsEmpty()) {
    identity.vid = HexAfter(instanceId, "VID_");
    identity.pid = HexAfter(instanceId, "PID_");
  }
  if (identity.IsEmpty()) return BPortIdentity();

  // The instance id is "ENUMERATOR\DEVICE\INSTANCE".
  size_t first = instanceId.find('\\');
  size_t last = instanceId.rfind('\\');
  std::string device = first != std::string::npos && last > first
                           ? instanceId.substr(first + 1, last - first - 1)
                           : std::string();
  std::string instance = last != std::string::npos ? instanceId.substr(last + 1) : std::string();
  size_t plus = device.rfind('+');
  if (plus != std::string::npos && Upper(device).find("PID_") < plus) {
    // A vendor's bus driver puts the serial number into the device part.
    identity.serial = device.substr(plus + 1);
  } else if (!instance.empty() && !Has(instance, '&') &&
             Upper(device).find("&MI_") == std::string::npos) {
    // Windows uses the adapter's serial number as the instance when it has one.
    identity.serial = instance;
  }
  identity.location = locationPath;
  if (identity.location.empty() && Has(instance, '&')) identity.location = instance;
  // The settings value separates its fields by these.
  for (std::string* field : {&identity.serial, &identity.location})
    for (char& c : *field)
      if (c == ';' || c == '=') c = '_';
  return identity;
}

std::string PortDisplayName(const BPresentPort& port) {
  if (port.friendlyName.empty()) return port.name;
  const std::string suffix = "(" + port.name + ")";
  const std::string& friendly = port.friendlyName;
  if (friendly.size() >= suffix.size() &&
      Upper(friendly.substr(friendly.size() - suffix.size())) == Upper(suffix))
    return friendly;
  return friendly + " " + suffix;
}

int FindRememberedPort(const BPortIdentity& remembered, const std::vector<BPresentPort>& ports) {
  if (remembered.IsEmpty()) return -1;
  std::vector<int> sameModel;
  for (size_t i = 0; i < ports.size(); ++i)
    if (ports[i].identity.vid == remembered.vid && ports[i].identity.pid == remembered.pid)
      sameModel.push_back(static_cast<int>(i));
  if (!remembered.serial.empty()) {
    bool othersHaveSerials = !sameModel.empty();
    for (int i : sameModel) {
      const std::string& serial = ports[i].identity.serial;
      if (serial == remembered.serial) return i;
      if (serial.empty()) othersHaveSerials = false;
    }
    // Every adapter of the model has another serial number: it is not there.
    if (othersHaveSerials) return -1;
  }
  if (!remembered.location.empty()) {
    for (int i : sameModel) {
      const BPortIdentity& identity = ports[i].identity;
      bool otherAdapter = !remembered.serial.empty() && !identity.serial.empty();
      if (identity.location == remembered.location && !otherAdapter) return i;
    }
  }
  if (sameModel.size() != 1) return -1;
  const BPortIdentity& only = ports[sameModel[0]].identity;
  if (!remembered.serial.empty() && !only.serial.empty()) return -1;
  return sameModel[0];
}

std::string RememberedPortRecord(const std::string& name, const BPortIdentity& identity) {
  return name + ";" + identity.ToString();
}

std::string ChoosePort(const std::string& name, const std::string& record,
                       const std::vector<BPresentPort>& ports) {
  size_t separator = record.find(';');
  BPortIdentity remembered;
  if (separator == std::string::npos || Upper(record.substr(0, separator)) != Upper(name) ||
      !BPortIdentity::Parse(record.substr(separator + 1), remembered))
    return name;
  for (const BPresentPort& port : ports)
    if (Upper(port.name) == Upper(name) && (port.identity.IsEmpty() || port.identity == remembered))
      return name;
  int found = FindRememberedPort(remembered, ports);
  return found >= 0 ? ports[found].name : name;
}
