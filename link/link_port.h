// What the siren link needs of the serial transport.
#pragma once

#include <cstdint>
#include <string>

class BLinkPort {
 public:
  virtual ~BLinkPort() = default;
  virtual bool Open(const std::string& portName) = 0;
  virtual bool Close(unsigned timeoutMs) = 0;
  // Queues one request frame; callable on both threads.
  virtual void Send(uint8_t code, uint8_t length, const uint8_t* payload) = 0;
  virtual bool IsOpen() const = 0;
  virtual std::string GetErrorText() const = 0;
  // The line errors the port reported since the last call (framing, parity,
  // overrun, break: a speed that is not the siren's, or a bad cable), as
  // the port's error bits; 0 for none.
  virtual uint32_t TakeLineErrors() { return 0; }
};
