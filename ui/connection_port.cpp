#include "connection_port.h"

#include "link/link_string_ids.h"
#include "link/port_address.h"
#include "platform/text.h"

bool BConnectionPort::Open(const std::string& portName) {
  m_addressError.clear();
  BPortAddress address;
  BPortAddressError error = ParsePortAddress(portName, address);
  if (error != BPortAddressError::None) {
    m_addressError =
        FormatUtf8Text(BText(IDS_BAD_PORT_ADDRESS, {portName, BText(PortAddressErrorText(error))}));
    return false;
  }
  if (address.IsNetwork()) {
    m_active = &m_net;
    return m_net.Open(address.ToString());
  }
  m_active = &m_com;
  return m_com.Open(address.name);
}

bool BConnectionPort::Close(unsigned timeoutMs) { return m_active->Close(timeoutMs); }

std::string BConnectionPort::GetErrorText() const {
  return m_addressError.empty() ? m_active->GetErrorText() : m_addressError;
}
