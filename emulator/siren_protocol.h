// The siren's wire protocol as the device sees it: frame bytes, command
// codes, status values, and the helpers that build reply frames and describe
// frames for the log. The emulator keeps its own copy of these rules, apart
// from the program's link code, so that a mistake on one side shows up as a
// disagreement with the other.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace siren {

constexpr uint8_t kRequestStart = 0xAA;
constexpr uint8_t kReplyStart = 0x55;
constexpr std::size_t kFrameOverhead = 4;  // start, code, length, checksum

// Request codes the device understands.
constexpr uint8_t kDetect = 0x00;
constexpr uint8_t kMemorySize = 0x10;
constexpr uint8_t kReadFragment = 0x20;
constexpr uint8_t kWriteFragment = 0x21;
constexpr uint8_t kPlayFragment = 0x23;
constexpr uint8_t kReadByte = 0x30;
constexpr uint8_t kWriteByte = 0x40;
constexpr uint8_t kReadPlaylist = 0x50;
constexpr uint8_t kWritePlaylist = 0x51;
constexpr uint8_t kPlayPlaylist = 0x52;
constexpr uint8_t kReadButton = 0x53;
constexpr uint8_t kWriteButton = 0x54;

constexpr uint8_t kDetectReply = 0xFF;  // the only reply whose code differs from the request's

// Status bytes of the replies.
constexpr uint8_t kStatusOk = 0;
constexpr uint8_t kStatusBadIndex = 1;          // the index of the item the command names
constexpr uint8_t kStatusBadFragmentIndex = 2;  // a playlist or button value that is no fragment
constexpr uint8_t kStatusUnavailable = 255;     // beyond the memory, or nothing there to play

constexpr uint8_t kStopPlayback = 0xFF;  // play-fragment argument that stops playback

// Payload length of a request code, or -1 for a code the device does not know.
int RequestPayloadLength(uint8_t code);
bool IsKnownRequest(uint8_t code);

// Data length of a reply code, or -1 for a code that is no reply. Besides the
// replies the device sends, 0x22 is a play reply a receiver takes like 0x23.
// A receiver refuses a start byte whose code is no reply or whose length byte
// differs from this length, as soon as those two bytes are in.
int ReplyDataLength(uint8_t code);
// The reply codes, in ascending order.
const std::vector<uint8_t>& ReplyCodes();

// XOR of the bytes; the checksum of a frame is this over all bytes before it.
uint8_t XorChecksum(const uint8_t* bytes, std::size_t count);

// A whole reply frame: 0x55, code, data length, data, checksum.
std::vector<uint8_t> BuildReplyFrame(uint8_t code, const std::vector<uint8_t>& data);
// A whole request frame, for tests and tools that play the program's part.
std::vector<uint8_t> BuildRequestFrame(uint8_t code, const std::vector<uint8_t>& payload);

// Little-endian 3-byte numbers as used for addresses, starts and lengths.
uint32_t ReadUint24(const uint8_t* bytes);
void AppendUint24(std::vector<uint8_t>& out, uint32_t value);

// "AA 00 00 AA": the bytes in upper-case hex, separated by spaces.
std::string HexBytes(const uint8_t* bytes, std::size_t count);
std::string HexBytes(const std::vector<uint8_t>& bytes);

// A short human-readable meaning for the log ("read byte 0x01234").
std::string DescribeRequest(uint8_t code, const uint8_t* payload, std::size_t length);
std::string DescribeReply(const std::vector<uint8_t>& frame);

}  // namespace siren
