// BMediaFoundationDecoder: the system decoder on Windows, Media Foundation's
// source reader, asked for 16-bit PCM of the first audio stream with the
// file's own channels and rate (Windows 7 cannot change the rate). Media
// Foundation is loaded when a file is opened, not linked: the program also
// starts on systems without it (the N editions of Windows without their media
// features), where such files are then refused by name. The user-interface
// thread calls it; COM is initialised for that thread while a file is open.
//
// The file is handed over as a byte stream opened with every sharing mode
// (a recording still open for writing is read as far as it is written), with
// its kind told by its content rather than its name (an M4A file saved as
// ".mp3" is read as MPEG-4); where the system cannot read a byte stream,
// the file is given by name. The DLLs are loaded from the system folder only.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "audio/system_decoder.h"

struct IMFSourceReader;
struct IMFByteStream;

class BMediaFoundationDecoder : public BSystemDecoder {
 public:
  BMediaFoundationDecoder() = default;
  ~BMediaFoundationDecoder() override;
  BMediaFoundationDecoder(const BMediaFoundationDecoder&) = delete;
  BMediaFoundationDecoder& operator=(const BMediaFoundationDecoder&) = delete;

  BStatus Open(const std::string& path, BPcmFormat& format, uint32_t& milliseconds) override;
  BStatus Decode(std::vector<uint8_t>& pcm, bool& end) override;
  void Close() override;

 private:
  bool LoadFramework();
  // The source reader over a byte stream of the file; false when the system
  // offers none for it.
  bool OpenByteStream(const std::wstring& path, const std::string& narrowPath);
  BStatus ChooseOutput(BPcmFormat& format);
  uint32_t Duration();

  bool m_comStarted = false;
  HMODULE m_platform = nullptr;   // mfplat.dll
  HMODULE m_readWrite = nullptr;  // mfreadwrite.dll
  HMODULE m_shell = nullptr;      // shlwapi.dll, for a stream over the file
  bool m_started = false;         // MFStartup succeeded
  IMFSourceReader* m_reader = nullptr;
  BPcmFormat m_format;
};
