// The siren link's port: the one place where the port's name chooses the
// transport. "COMn" (or another local device name) opens the COM port,
// "tcp://host:port" and "rfc2217://host:port" the network transport; a
// name that is neither fails to open, with the reason.
#pragma once

#include <string>

#include "link/connection.h"
#include "link/link_port.h"
#include "link/net_connection.h"

class BConnectionPort : public BLinkPort {
 public:
  BConnectionPort(BCOMConnection& com, BNetConnection& net) : m_com(com), m_net(net) {}

  bool Open(const std::string& portName) override;
  bool Close(unsigned timeoutMs) override;
  void Send(uint8_t code, uint8_t length, const uint8_t* payload) override {
    m_active->Send(code, length, payload);
  }
  bool IsOpen() const override { return m_active->IsOpen(); }
  std::string GetErrorText() const override;
  uint32_t TakeLineErrors() override { return m_active->TakeLineErrors(); }

 private:
  BCOMConnection& m_com;
  BNetConnection& m_net;
  // The transport of the last Open (the COM port before any).
  BCOMConnectionBase* m_active = &m_com;
  std::string m_addressError;  // the last Open's name was no port
};
