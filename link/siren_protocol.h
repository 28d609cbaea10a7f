// The siren's command set: request codes, reply statuses, the states of the
// link and the window messages through which the link reports.
#pragma once

#include <cstdint>

// Requests. Every reply carries the same code, except that of CMD_DETECT.
constexpr uint8_t CMD_DETECT = 0x00;
constexpr uint8_t CMD_MEMORY_SIZE = 0x10;
constexpr uint8_t CMD_READ_FRAGMENT = 0x20;
constexpr uint8_t CMD_WRITE_FRAGMENT = 0x21;
constexpr uint8_t CMD_PLAY_FRAGMENT = 0x23;
constexpr uint8_t CMD_READ_BYTE = 0x30;
constexpr uint8_t CMD_WRITE_BYTE = 0x40;
constexpr uint8_t CMD_READ_PLAYLIST = 0x50;
constexpr uint8_t CMD_WRITE_PLAYLIST = 0x51;
constexpr uint8_t CMD_PLAY_PLAYLIST = 0x52;
constexpr uint8_t CMD_READ_BUTTON = 0x53;
constexpr uint8_t CMD_WRITE_BUTTON = 0x54;

constexpr uint8_t kDetectReply = 0xFF;
// Accepted like the play reply; the program never sends this code.
constexpr uint8_t kAlternativePlayReply = 0x22;
// The fragment index that stops playback on the siren.
constexpr uint8_t kStopPlayback = 0xFF;

// Status bytes of the replies.
constexpr uint8_t kStatusOk = 0;
constexpr uint8_t kStatusBadIndex = 1;
constexpr uint8_t kStatusBadFragment = 2;  // playlist and button writes only
constexpr uint8_t kStatusUnavailable = 255;

enum class BLinkState {
  Disconnected,
  Detecting,
  QueryingSize,
  Idle,
  ReadingMemory,
  WritingMemory,
  ReadingFragments,
  WritingFragment,
  PlayingFragment,
  ReadingPlaylist,
  WritingPlaylist,
  PlayingPlaylist,
  ReadingButtons,
  WritingButton,
};

// Window messages posted by the link to the main window (WM_USER + 100 ...).
constexpr unsigned kLinkMessageBase = 0x0400 + 100;
enum BLinkMessage : unsigned {
  WM_LINK_ERROR = kLinkMessageBase,
  WM_SIREN_DETECTED,
  WM_SIREN_MEMORY_SIZE,
  WM_MEMORY_READ_PROGRESS,
  WM_MEMORY_WRITE_PROGRESS,
  WM_SIREN_BAD_MEMORY_SIZE,
  WM_FRAGMENT_READ,
  WM_FRAGMENT_REPLY,
  WM_PLAYLIST_READ,
  WM_PLAYLIST_REPLY,
  WM_BUTTON_READ,
  WM_BUTTON_WRITTEN,
  WM_MEMORY_READ_DONE,
  WM_LINK_TIMEOUT,
  WM_MEMORY_WRITE_DONE,
};
constexpr unsigned kLinkMessageLast = WM_MEMORY_WRITE_DONE;

// Time-outs of the transport and of closing it. The read time-out bounds the
// silence while a reply is awaited; the reply limit bounds the whole wait,
// from the end of the request's write, so that a device that keeps sending
// without ever answering is given up as well as a silent one.
constexpr unsigned kLinkReadTimeoutMs = 2000;
constexpr unsigned kLinkWriteTimeoutMs = 2000;
constexpr unsigned kLinkReplyLimitMs = 3000;
constexpr unsigned kLinkCloseTimeoutMs = 5000;
// Bytes came after a request but no good reply among them: once the line has
// been quiet this long, the reply is taken for garbled (a real reply comes
// in one piece, or in pieces a few milliseconds apart even through a USB
// adapter), and the request may go again at once instead of after the
// read time-out.
constexpr unsigned kLinkGarbledQuietMs = 100;
