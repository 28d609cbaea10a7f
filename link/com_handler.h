// The callbacks of the serial transport. The main window implements them;
// all three are called on the transport's worker thread.
#pragma once

#include <cstdint>
#include <string>

class BCOMHandler {
 public:
  virtual ~BCOMHandler() = default;
  // A transport failure; the text is the transport's error text.
  virtual void OnError(const std::string& text) = 0;
  // One good reply frame: its code and length bytes and a pointer to its data,
  // valid only during the call.
  virtual void OnReceive(uint8_t code, uint8_t length, const uint8_t* data) = 0;
  // The reply, or the completion of a write, did not come in time.
  virtual void OnTimeout() = 0;
  // Bytes came after the request, but no good reply among them, and then the
  // line fell quiet: the reply was garbled on the way. The worker goes on
  // with the next queued frame, as after a time-out.
  virtual void OnGarbledReply() { OnTimeout(); }
  // A good frame that answers no request was dropped (its reply code given):
  // a late copy of a reply, a frame of another device.
  virtual void OnStrayReply(uint8_t /*code*/) {}
};
