// The COM ports the system knows, as the port menu and the port dialog list them.
#pragma once

#include <string>
#include <vector>

#include "link/port_identity.h"

// The names of the system's COM ports (COM1, COM12, ...), in the order the
// print spooler reports them; not sorted. Empty when there are none or the
// spooler cannot be asked.
std::vector<std::string> EnumerateComPorts();

// Keeps a reported port name when its first 3 characters are "COM" in any
// case, cut at the first ':' from its fifth character on ("COM12:" gives
// "COM12"). Returns false for any other name.
bool TakeComPortName(const char* reported, std::string& name);

// The system's COM ports with what Windows knows of their adapters (friendly
// name, USB ids, serial number, location), read through SetupAPI from the
// Ports device class, in the order of EnumerateComPorts and then any port
// only SetupAPI lists. Where Windows tells nothing (Wine), the names alone.
std::vector<BPresentPort> EnumeratePresentPorts();
