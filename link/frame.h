// Frames of the siren link. A request frame is 0xAA, the command code, the
// payload length N, N payload bytes and a checksum; a reply frame has the same
// layout with the start byte 0x55. The checksum is the XOR of every byte
// before it, the start byte included.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class BCOMHandler;
class BReceiveBuffer;

constexpr uint8_t kRequestStart = 0xAA;
constexpr uint8_t kReplyStart = 0x55;
// Start byte, code, length and checksum around the payload.
constexpr size_t kFrameOverhead = 4;
// The longest frame: 255 payload bytes.
constexpr size_t kMaxFrameLength = 255 + kFrameOverhead;

// XOR of `count` bytes.
uint8_t FrameChecksum(const uint8_t* bytes, size_t count);

// The complete request frame for a command; `payload` may be null when
// `length` is 0.
std::vector<uint8_t> BuildRequestFrame(uint8_t code, uint8_t length, const uint8_t* payload);

// The only data length the siren may send with this reply code, or -1 when
// the code is not a reply the program accepts.
int ReplyDataLength(uint8_t code);

// True when a reply with this code and data length may be delivered.
bool IsAcceptedReply(uint8_t code, uint8_t length);

// True when a reply with this code answers the request with that code: the
// same code, except 0xFF for detection (0x00), the play reply 0x22 beside
// 0x23, and the two playlist codes 0x51 and 0x52 for each other.
bool AnswersRequest(uint8_t requestCode, uint8_t replyCode);
// For ParseReceived: every good frame is handed on.
constexpr int kAnyRequest = -1;

// The longest reply the program accepts (code 0x20 with 7 data bytes).
constexpr size_t kMaxReplyLength = 7 + kFrameOverhead;

// Cuts the received bytes into reply frames. Bytes that cannot start a good
// frame are dropped one at a time, so the parser finds the next frame even
// inside a broken one: a start byte whose code is not a reply code, or whose
// length byte is not the one length of that code, is dropped as soon as those
// two bytes are in, and so is one whose frame has a wrong checksum.
// Incomplete frames that may still become good ones stay in the buffer.
//
// A reply answers only the request waiting for it (`awaitedRequest`, its
// code): the first good frame that answers it goes to `handler.OnReceive` and
// the parse stops behind it, leaving the bytes after it in the buffer. Every
// other good frame before it (a stray frame on a noisy line, a frame of
// another device) is dropped and counted in `strays` when given. Returns true
// when the answer was delivered. With kAnyRequest every good frame goes to
// the handler, and the result says whether there was one.
bool ParseReceived(BReceiveBuffer& buffer, BCOMHandler& handler, int awaitedRequest = kAnyRequest,
                   uint32_t* strays = nullptr);

// Empties the buffer; returns the number of good reply frames it held. For
// bytes that came when no request was waiting: they answer nothing.
uint32_t DiscardReceived(BReceiveBuffer& buffer, BCOMHandler* handler = nullptr);

// Makes room in a full buffer by dropping bytes that cannot begin a reply:
// those before the first start byte, or the older half when there is none,
// and then a start byte at the front that a full buffer proves wrong (every
// reply is shorter). Leaves a buffer that is not full alone.
void MakeRoom(BReceiveBuffer& buffer);
