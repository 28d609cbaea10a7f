// The identity of a serial adapter, beside the COM number Windows gives it:
// its USB vendor and product ids, its serial number when it has one, and
// where it is plugged in (the location path, or the instance id Windows
// makes up for an adapter without a serial number, which depends on the
// socket). The program remembers it with the port, so that the same adapter
// is found again when Windows gives it another number.
//
// Portable: the Windows side (link/com_ports.cpp) reads the device ids
// through SetupAPI and hands them here.
#pragma once

#include <string>
#include <vector>

struct BPortIdentity {
  std::string vid;       // four upper-case hex digits, or empty
  std::string pid;       // the same
  std::string serial;    // empty when the adapter has none
  std::string location;  // empty when unknown

  bool IsEmpty() const { return vid.empty() || pid.empty(); }
  // "vid=1A86;pid=7523;serial=;location=PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(3)".
  // Language-neutral, for the settings; ';' and '=' never occur in the ids.
  std::string ToString() const;
  // Reads what ToString wrote; false (and an empty identity) for anything else.
  static bool Parse(const std::string& text, BPortIdentity& identity);
  bool operator==(const BPortIdentity& other) const;
};

// The identity from the device's ids: the hardware id ("USB\VID_1A86&PID_7523&REV_0264",
// "FTDIBUS\COMPORT&VID_0403&PID_6001"), the instance id of the USB device
// ("USB\VID_0403&PID_6001\A50285BI": a serial number; "USB\VID_1A86&PID_7523\5&2A5E3B1&0&3":
// made up by Windows, hence a location; "FTDIBUS\VID_0403+PID_6001+A50285BIA\0000":
// the serial inside) and its location path (may be empty).
BPortIdentity IdentityFromDeviceIds(const std::string& hardwareId, const std::string& instanceId,
                                    const std::string& locationPath);

// A local port as the system lists it.
struct BPresentPort {
  std::string name;          // "COM5"
  std::string friendlyName;  // "USB-SERIAL CH340 (COM5)", or empty
  BPortIdentity identity;    // empty when the system does not say
};

// What the port dialog shows: the friendly name, with the port's name in
// brackets when it does not already end so, or the name alone.
std::string PortDisplayName(const BPresentPort& port);

// The present port that is the remembered adapter, or -1. Only ports with the
// same vendor and product ids count. A serial number decides when the
// remembered adapter has one: the port with that serial number, or none if
// every port of those ids has another one. Then the same location decides.
// Then the vendor and product ids alone, but only when exactly one present
// port has them.
int FindRememberedPort(const BPortIdentity& remembered, const std::vector<BPresentPort>& ports);

// The remembered port as the settings keep it: its name and the identity of
// its adapter, "COM7;vid=1A86;pid=7523;serial=;location=...".
std::string RememberedPortRecord(const std::string& name, const BPortIdentity& identity);

// The port to open for the local port `name`, given the record the settings
// keep and the present ports: the remembered adapter under the number it has
// now when the record names this port and the adapter is no longer behind
// it (gone, or another adapter there); `name` in every other case (another
// port chosen, nothing known of the ports, the adapter not present).
std::string ChoosePort(const std::string& name, const std::string& record,
                       const std::vector<BPresentPort>& ports);
