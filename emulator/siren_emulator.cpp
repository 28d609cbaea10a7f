#include "emulator/siren_emulator.h"

#include "emulator/siren_protocol.h"

using namespace siren;

namespace {

// The table a write request changes; false for any other request.
bool TableWriteKind(uint8_t code, BTableRefusal::Kind& kind) {
  if (code == kWriteFragment)
    kind = BTableRefusal::Kind::Fragment;
  else if (code == kWritePlaylist)
    kind = BTableRefusal::Kind::Playlist;
  else if (code == kWriteButton)
    kind = BTableRefusal::Kind::Button;
  else
    return false;
  return true;
}

std::string ByteText(uint8_t value) {
  static const char kDigits[] = "0123456789ABCDEF";
  return std::string("0x") + kDigits[value >> 4] + kDigits[value & 0x0F];
}

}  // namespace

BSirenEmulator::BSirenEmulator(uint8_t chips, const BFaultPlan& faults, uint32_t noiseSeed)
    : m_device(chips), m_otherDevice(chips), m_faults(faults), m_random(noiseSeed) {
  // Its own generator, so that the other siren leaves the noise as it was.
  std::mt19937 contents(noiseSeed ^ 0x5157E2u);
  for (uint8_t& byte : m_otherDevice.State().memory) byte = static_cast<uint8_t>(contents());
}

bool BSirenEmulator::LoadOtherSiren(const std::string& path, std::string& error) {
  BSirenState& state = m_otherDevice.State();
  if (state.Load(path)) return true;
  error = state.GetErrorText();
  return false;
}

void BSirenEmulator::SwapSiren(const std::string& why) {
  std::swap(m_device, m_otherDevice);
  m_sirenNumber = 3 - m_sirenNumber;
  Log("FAULT swap: " + why + ", the line now leads to siren " + std::to_string(m_sirenNumber));
}

std::vector<uint8_t> BSirenEmulator::Chatter() {
  std::vector<uint8_t> bytes;
  if (m_faults.chatter.kind == BChatter::Kind::Detect) {
    bytes = BuildReplyFrame(kDetectReply, {});
  } else {
    std::uniform_int_distribution<int> byteValue(0, 255);
    for (uint32_t i = 0; i < m_faults.chatter.bytes; ++i)
      bytes.push_back(static_cast<uint8_t>(byteValue(m_random)));
  }
  Log("FAULT chatter: " + HexBytes(bytes));
  return bytes;
}

void BSirenEmulator::Log(const std::string& line) {
  if (m_log) m_log(line);
}

void BSirenEmulator::ResetLink() {
  if (m_parser.PendingBytes() > 0)
    Log("LINK dropped " + std::to_string(m_parser.PendingBytes()) +
        " bytes of an unfinished request");
  m_parser.Clear();
  if (HasLateCopy()) {
    Log("LINK dropped the late copy of reply " + std::to_string(m_lateCopyNumber));
    m_lateCopy.clear();
  }
}

BOutgoingReply BSirenEmulator::TakeLateCopy() {
  BOutgoingReply out;
  out.bytes.swap(m_lateCopy);
  out.logLines.push_back("FAULT late copy: reply " + std::to_string(m_lateCopyNumber) +
                         " sent again after " + std::to_string(kLateCopyQuietMs) +
                         " ms without a request: " + HexBytes(out.bytes));
  return out;
}

std::vector<BOutgoingReply> BSirenEmulator::Feed(const uint8_t* bytes, std::size_t count) {
  std::vector<BOutgoingReply> replies;
  for (const BParserEvent& event : m_parser.Feed(bytes, count)) {
    switch (event.kind) {
      case BParserEvent::Kind::Noise:
        Log("RX " + HexBytes(event.bytes) + " | noise, skipped");
        break;
      case BParserEvent::Kind::BadChecksum:
        Log("RX " + HexBytes(event.bytes) + " | bad checksum, start byte skipped");
        break;
      case BParserEvent::Kind::Request: {
        BOutgoingReply reply;
        reply.chunkOffset = event.chunkOffset;
        HandleRequest(event.request, reply);
        if (!reply.bytes.empty()) replies.push_back(std::move(reply));
        break;
      }
    }
  }
  return replies;
}

void BSirenEmulator::HandleRequest(const BSirenRequest& request, BOutgoingReply& out) {
  const uint64_t number = ++m_requestCount;
  const std::string numberText = "request " + std::to_string(number);
  const uint8_t* payload = request.payload.data();
  Log("RX " + HexBytes(request.frame) + " | " + numberText + ": " +
      DescribeRequest(request.code, payload, request.payload.size()));
  if (m_faults.silent || m_faults.chatter.kind != BChatter::Kind::None) {
    Log("FAULT silent: no reply to " + numberText);
    return;
  }
  // A late copy of an earlier reply goes out in front of whatever answers
  // this request, also when nothing does.
  std::vector<uint8_t> copy;
  copy.swap(m_lateCopy);
  const uint64_t copyNumber = m_lateCopyNumber;
  Answer(request, number, out);
  if (copy.empty()) return;
  out.bytes.insert(out.bytes.begin(), copy.begin(), copy.end());
  if (out.splitAt > 0) out.splitAt += copy.size();
  out.logLines.insert(out.logLines.begin(), "FAULT late copy: reply " + std::to_string(copyNumber) +
                                                " sent again, ahead of the answer to " +
                                                numberText + ": " + HexBytes(copy));
}

void BSirenEmulator::Answer(const BSirenRequest& request, uint64_t number, BOutgoingReply& out) {
  std::vector<uint8_t> frame;
  uint8_t status = 0;
  std::string reason;
  if (FindRefusal(request, status, reason)) {
    frame = BSirenDevice::BuildRefusal(request, status);
    Log("FAULT refuse: " + reason + " with status " + std::to_string(status));
  } else if (WriteToBadCell(request, frame)) {
  } else if (LoseTableWrite(request, frame)) {
  } else {
    const std::string before = m_device.DescribePlayState();
    frame = m_device.Execute(request);
    const std::string after = m_device.DescribePlayState();
    if (after != before || request.code == kPlayFragment || request.code == kPlayPlaylist)
      Log("PLAY " + after);
  }
  if (frame.empty()) return;
  if (m_faults.swapAt.Matches(number)) SwapSiren("after request " + std::to_string(number));
  if (m_faults.dropReply.Matches(number)) {
    // As if the reply were lost on the line: the device did its work.
    Log("FAULT drop: reply " + std::to_string(number) + " not sent: " + HexBytes(frame));
    return;
  }

  if (m_faults.corruptChecksum.Matches(number)) {
    frame.back() ^= 0xFF;
    Log("FAULT corrupt: checksum of reply " + std::to_string(number) + " inverted");
  }
  if (m_faults.flipBit.Matches(number)) FlipBit(frame, number);
  if (m_faults.lateCopy.Matches(number)) {
    m_lateCopy = frame;  // as sent, without the noise or garbage before it
    m_lateCopyNumber = number;
  }
  std::vector<uint8_t> noise = MakeNoise();
  if (!noise.empty()) Log("FAULT noise: " + HexBytes(noise));
  bool wholeFrame = false;
  std::vector<uint8_t> garbage;
  if (m_faults.garbagePercent > 0 &&
      std::uniform_int_distribution<int>(1, 100)(m_random) <= int(m_faults.garbagePercent))
    garbage = m_garbage.MakeBurst(frame, wholeFrame);
  if (!garbage.empty()) Log("FAULT garbage: " + HexBytes(garbage));
  out.logLines.push_back("TX " + HexBytes(frame) + " | reply " + std::to_string(number) + ": " +
                         DescribeReply(frame));
  out.bytes = noise;
  out.bytes.insert(out.bytes.end(), garbage.begin(), garbage.end());
  // A reply behind garbage may come in two pieces, so that the receiver
  // holds part of it; a burst with a whole stray frame in it may arrive on
  // its own, before the reply, so that the receiver must tell the stray frame
  // from the answer it waits for.
  if (!garbage.empty() && std::uniform_int_distribution<int>(0, 1)(m_random) == 1) {
    out.splitAt = out.bytes.size();
    if (!wholeFrame)
      out.splitAt += std::uniform_int_distribution<std::size_t>(1, frame.size() - 1)(m_random);
  }
  out.bytes.insert(out.bytes.end(), frame.begin(), frame.end());
  if (m_faults.repeatReply.Matches(number)) {
    // As a line that delivers a frame twice: the copy comes right behind it.
    out.bytes.insert(out.bytes.end(), frame.begin(), frame.end());
    Log("FAULT repeat: reply " + std::to_string(number) + " sent twice");
  }
}

// One bit of the frame flipped, as a long line may do; a flip that would
// leave anything a receiver takes for a frame is drawn again (with the XOR
// checksum none does, but the rule does not depend on that).
void BSirenEmulator::FlipBit(std::vector<uint8_t>& frame, uint64_t number) {
  std::uniform_int_distribution<std::size_t> byteIndex(0, frame.size() - 1);
  std::uniform_int_distribution<int> bitIndex(0, 7);
  for (int attempt = 0; attempt < 64; ++attempt) {
    std::vector<uint8_t> flipped = frame;
    const std::size_t at = byteIndex(m_random);
    const int bit = bitIndex(m_random);
    flipped[at] = static_cast<uint8_t>(flipped[at] ^ (1u << bit));
    std::size_t waiting = 0;
    if (!BLineGarbage::ScanReplies(flipped, waiting).empty()) continue;
    Log("FAULT flip: reply " + std::to_string(number) + ", bit " + std::to_string(bit) +
        " of byte " + std::to_string(at) + ": " + ByteText(frame[at]) + " -> " +
        ByteText(flipped[at]));
    frame.swap(flipped);
    return;
  }
  Log("FAULT flip: no bit of reply " + std::to_string(number) + " leaves it invalid, sent as is");
}

// A table write acknowledged with status 0 but not stored: the siren keeps
// the old entry. Only a write the siren would have stored is lost; one it
// refuses by itself (a bad index, an entry beyond the memory) is answered as
// always and does not count.
bool BSirenEmulator::LoseTableWrite(const BSirenRequest& request, std::vector<uint8_t>& frame) {
  BTableRefusal::Kind kind;
  if (!TableWriteKind(request.code, kind)) return false;
  const uint8_t index = request.payload[0];
  BTableRefusal* rule = nullptr;
  for (BTableRefusal& candidate : m_faults.tableLosses)
    if (candidate.Applies(kind, index)) {
      rule = &candidate;
      break;
    }
  if (rule == nullptr) return false;
  BSirenState& state = m_device.State();
  const auto fragments = state.fragments;
  const auto playlist = state.playlist;
  const auto buttons = state.buttons;
  frame = m_device.Execute(request);
  // The status is the last data byte of all three replies.
  if (frame.size() < kFrameOverhead + 1 || frame[frame.size() - 2] != kStatusOk) return true;
  state.fragments = fragments;
  state.playlist = playlist;
  state.buttons = buttons;
  ++rule->used;
  Log("FAULT lose: " + std::string(BTableRefusal::KindName(kind)) + " write " +
      std::to_string(index) + " acknowledged but not stored");
  return true;
}

// A cell that does not take a write: the device answers as if it had.
bool BSirenEmulator::WriteToBadCell(const BSirenRequest& request, std::vector<uint8_t>& frame) {
  if (request.code != kWriteByte) return false;
  const uint32_t address = ReadUint24(request.payload.data());
  if (!m_faults.IsBadCell(address) || address >= m_device.MemorySize()) return false;
  frame = BSirenDevice::BuildRefusal(request, kStatusOk);
  Log("FAULT bad cell: " + std::to_string(address) + " keeps its value");
  return true;
}

bool BSirenEmulator::FindRefusal(const BSirenRequest& request, uint8_t& status,
                                 std::string& reason) {
  const uint8_t* payload = request.payload.data();
  if (request.code == kReadByte || request.code == kWriteByte) {
    const uint32_t address = ReadUint24(payload);
    if (!m_faults.IsAddressRefused(address)) return false;
    status = kStatusUnavailable;
    reason = "address " + std::to_string(address);
    return true;
  }
  BTableRefusal::Kind kind;
  if (!TableWriteKind(request.code, kind)) return false;
  for (BTableRefusal& rule : m_faults.tableRefusals) {
    if (!rule.Applies(kind, payload[0])) continue;
    ++rule.used;
    status = rule.status;
    reason = std::string(BTableRefusal::KindName(kind)) + " write " + std::to_string(payload[0]);
    return true;
  }
  return false;
}

std::vector<uint8_t> BSirenEmulator::MakeNoise() {
  std::vector<uint8_t> noise;
  if (m_faults.noiseBytes == 0) return noise;
  std::uniform_int_distribution<int> percent(1, 100);
  if (m_faults.noisePercent < 100 && percent(m_random) > static_cast<int>(m_faults.noisePercent))
    return noise;
  std::uniform_int_distribution<int> byteValue(0, 254);
  for (uint32_t i = 0; i < m_faults.noiseBytes; ++i) {
    int value = byteValue(m_random);
    if (value >= kReplyStart) ++value;  // every value but the reply start byte
    noise.push_back(static_cast<uint8_t>(value));
  }
  return noise;
}
