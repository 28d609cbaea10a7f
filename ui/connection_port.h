// The serial connection as the siren link sees it.
#pragma once

#include "link/connection.h"
#include "link/link_port.h"

class BConnectionPort : public BLinkPort {
 public:
  explicit BConnectionPort(BCOMConnection& connection) : m_connection(connection) {}

  bool Open(const std::string& portName) override { return m_connection.Open(portName); }
  bool Close(unsigned timeoutMs) override { return m_connection.Close(timeoutMs); }
  void Send(uint8_t code, uint8_t length, const uint8_t* payload) override {
    m_connection.Send(code, length, payload);
  }
  bool IsOpen() const override { return m_connection.IsOpen(); }
  std::string GetErrorText() const override { return m_connection.GetErrorText(); }
  uint32_t TakeLineErrors() override { return m_connection.TakeLineErrors(); }

 private:
  BCOMConnection& m_connection;
};
