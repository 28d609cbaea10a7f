// BRequestRetry: whether the request on the wire may be sent again when its
// reply came garbled (a bad checksum on a long line) or not at all, and how
// often that happened. Only requests that carry their address or index, or
// ask a question, are repeated: sending them twice changes nothing on the
// siren. Playing is not repeated (it would start the sound again).
//
// Silence is retried only once the siren has answered on this connection: a
// port with no siren behind it is reported at once, as before. A garbled
// reply is always retried: something is there.
//
// Threads: owned by BSirenLink, used under its m_lock only.
#pragma once

#include <cstdint>
#include <vector>

class BRequestRetry {
 public:
  static constexpr int kMaxRetries = 2;

  static bool IsRepeatable(uint8_t code);

  // A new connection: nothing sent, nothing answered, nothing counted.
  void Reset();
  // A new request went out; its tries start again.
  void Sent(uint8_t code, uint8_t length, const uint8_t* payload);
  // The siren answered a request.
  void Answered() { m_sirenAnswered = true; }
  // True (and counted) when the last request is to go again.
  bool TakeRetry(bool garbled);
  uint8_t Code() const { return m_code; }
  const std::vector<uint8_t>& Payload() const { return m_payload; }
  // The retries since the last call.
  uint32_t TakeCount();

 private:
  bool m_hasRequest = false;
  bool m_sirenAnswered = false;
  uint8_t m_code = 0;
  std::vector<uint8_t> m_payload;
  int m_tries = 0;
  uint32_t m_count = 0;
};
