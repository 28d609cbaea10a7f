// One conversion stream of the audio compression manager: from a wave format
// the system has a codec for to linear PCM. Every failure keeps an error text.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <msacm.h>

#include <cstdint>
#include <string>

class BACMEncoder final {
 public:
  BACMEncoder() = default;
  ~BACMEncoder();
  BACMEncoder(const BACMEncoder&) = delete;
  BACMEncoder& operator=(const BACMEncoder&) = delete;

  // Opens a non-real-time stream from `source` to `destination`, with any driver.
  bool Open(const WAVEFORMATEX* source, const WAVEFORMATEX* destination);
  // The destination bytes that `sourceBytes` source bytes convert to; -1 on failure.
  int32_t GetDestSize(uint32_t sourceBytes);
  // Converts whole source blocks. `destinationBytes` holds the capacity on
  // entry and the bytes produced on return.
  bool Convert(const uint8_t* source, uint32_t sourceBytes, uint8_t* destination,
               uint32_t& destinationBytes);
  void Close();

  virtual const std::string& GetErrorText() const { return m_errorText; }
  // The result code of the last failure (ACMERR_NOTPOSSIBLE: no driver converts).
  MMRESULT GetResult() const { return m_result; }

  // The text for an audio compression manager result code.
  static std::string ResultText(MMRESULT result);

 private:
  void SetError(MMRESULT result) {
    m_result = result;
    m_errorText = ResultText(result);
  }

  HACMSTREAM m_stream = nullptr;
  std::string m_errorText;
  MMRESULT m_result = MMSYSERR_NOERROR;
};
