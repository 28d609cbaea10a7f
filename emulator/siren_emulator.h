// BSirenEmulator: the whole device as seen from its serial line, without the
// line itself. Bytes that arrive go in through Feed; what the device sends
// back comes out, reply by reply, with the faults of its BFaultPlan applied
// (silence, dropped replies, repeated and late replies, refusals, lost table
// writes, bad cells, corrupted checksums, flipped bits, noise and frame-like
// garbage). A silent device does nothing at all; a dropped reply is lost on
// its way back, after the device has carried out the request. Every frame and
// every injected fault is told to the log sink as one line.
//
// Behind the line there are two sirens: the one the line leads to (Device)
// and another one of the same size, with random memory and an empty table, or
// the content of a state file (LoadOtherSiren). SwapSiren moves the line to
// the other one, as if the cable were moved while the adapter stays plugged
// in. A chattering device answers nothing and sends on its own (Chatter),
// when its owner asks for it.
//
// A late copy of a reply waits in the emulator: it goes out in front of the
// answer to the next well-formed request, or, when the owner has seen no
// request for kLateCopyQuietMs after the reply, on its own (TakeLateCopy).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "emulator/fault_plan.h"
#include "emulator/line_garbage.h"
#include "emulator/request_parser.h"
#include "emulator/siren_device.h"

struct BOutgoingReply {
  // The request ended at this many bytes into the chunk given to Feed.
  std::size_t chunkOffset = 0;
  // A late copy of an earlier reply (if any), noise and garbage (if any),
  // then the reply frame (if any).
  std::vector<uint8_t> bytes;
  // When not 0, the bytes from this one on go out after a short pause.
  std::size_t splitAt = 0;
  // The log lines of the late copy and of the reply frame, for the caller to
  // log when the bytes have really been written (so that the log shows the
  // line's timing).
  std::vector<std::string> logLines;
};

class BSirenEmulator {
 public:
  using LogSink = std::function<void(const std::string& line)>;

  // Milliseconds without a request after which a late copy goes out on its own.
  static constexpr int kLateCopyQuietMs = 20;

  BSirenEmulator(uint8_t chips, const BFaultPlan& faults, uint32_t noiseSeed = 1);

  void SetLog(LogSink sink) { m_log = std::move(sink); }
  std::vector<BOutgoingReply> Feed(const uint8_t* bytes, std::size_t count);
  std::vector<BOutgoingReply> Feed(const std::vector<uint8_t>& bytes) {
    return Feed(bytes.data(), bytes.size());
  }
  // The other side hung up: a partial request and a late copy are forgotten.
  void ResetLink();

  BSirenDevice& Device() { return m_device; }
  const BSirenDevice& Device() const { return m_device; }
  // The other siren takes the memory and tables of a state file; false with
  // error set when the file cannot be read or is not a state file.
  bool LoadOtherSiren(const std::string& path, std::string& error);
  uint64_t RequestCount() const { return m_requestCount; }
  // The line now leads to the other siren (and the next swap leads back).
  void SwapSiren(const std::string& why);
  // Milliseconds between two bursts of chatter; 0 when the device does not chatter.
  uint32_t ChatterPeriodMs() const { return m_faults.chatter.periodMs; }
  // The next burst of chatter (logged).
  std::vector<uint8_t> Chatter();
  // Whether a late copy waits for the next request or the quiet time.
  bool HasLateCopy() const { return !m_lateCopy.empty(); }
  // The waiting late copy, to be sent now (its log line in logLines).
  BOutgoingReply TakeLateCopy();

 private:
  void HandleRequest(const BSirenRequest& request, BOutgoingReply& reply);
  void Answer(const BSirenRequest& request, uint64_t number, BOutgoingReply& reply);
  bool WriteToBadCell(const BSirenRequest& request, std::vector<uint8_t>& frame);
  bool FindRefusal(const BSirenRequest& request, uint8_t& status, std::string& reason);
  bool LoseTableWrite(const BSirenRequest& request, std::vector<uint8_t>& frame);
  void FlipBit(std::vector<uint8_t>& frame, uint64_t number);
  std::vector<uint8_t> MakeNoise();
  void Log(const std::string& line);

  BSirenDevice m_device;
  BSirenDevice m_otherDevice;
  int m_sirenNumber = 1;  // 1 or 2: which of the two the line leads to
  BSirenRequestParser m_parser;
  BFaultPlan m_faults;
  std::mt19937 m_random;
  BLineGarbage m_garbage{m_random};
  uint64_t m_requestCount = 0;
  std::vector<uint8_t> m_lateCopy;  // the frame as it was sent
  uint64_t m_lateCopyNumber = 0;    // the request it answered
  LogSink m_log;
};
