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
  // The replies dropped since the last call because no request was waiting
  // for them (a repeated reply, a frame of another device).
  virtual uint32_t TakeStrayReplies() = 0;
};
