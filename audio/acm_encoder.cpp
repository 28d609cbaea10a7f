// One conversion stream of the audio compression manager.
#include "audio/acm_encoder.h"

#include "audio/audio_string_ids.h"
#include "platform/error_text.h"
#include "platform/text.h"

BACMEncoder::~BACMEncoder() { Close(); }

std::string BACMEncoder::ResultText(MMRESULT result) {
  UINT id = 0;
  switch (result) {
    case MMSYSERR_NOTENABLED:
      id = IDS_ACMERR_NOT_ENABLED;
      break;
    case MMSYSERR_INVALHANDLE:
      id = IDS_ACMERR_INVALID_HANDLE;
      break;
    case MMSYSERR_NOMEM:
      id = IDS_ACMERR_NO_MEMORY;
      break;
    case MMSYSERR_INVALFLAG:
      id = IDS_ACMERR_INVALID_FLAG;
      break;
    case MMSYSERR_INVALPARAM:
      id = IDS_ACMERR_INVALID_PARAM;
      break;
    case ACMERR_NOTPOSSIBLE:
      id = IDS_ACMERR_NOT_POSSIBLE;
      break;
    default:
      return ::GetErrorText(result);
  }
  return FormatUtf8Text(BText(static_cast<int>(id)));
}

bool BACMEncoder::Open(const WAVEFORMATEX* source, const WAVEFORMATEX* destination) {
  Close();
  MMRESULT result = acmStreamOpen(&m_stream, nullptr, const_cast<WAVEFORMATEX*>(source),
                                  const_cast<WAVEFORMATEX*>(destination), nullptr, 0, 0,
                                  ACM_STREAMOPENF_NONREALTIME);
  if (result != MMSYSERR_NOERROR) {
    m_stream = nullptr;
    SetError(result);
    return false;
  }
  return true;
}

int32_t BACMEncoder::GetDestSize(uint32_t sourceBytes) {
  DWORD destinationBytes = 0;
  MMRESULT result = acmStreamSize(m_stream, sourceBytes, &destinationBytes, ACM_STREAMSIZEF_SOURCE);
  if (result != MMSYSERR_NOERROR) {
    SetError(result);
    return -1;
  }
  return destinationBytes > INT32_MAX ? -1 : static_cast<int32_t>(destinationBytes);
}

bool BACMEncoder::Convert(const uint8_t* source, uint32_t sourceBytes, uint8_t* destination,
                          uint32_t& destinationBytes) {
  ACMSTREAMHEADER header = {};
  header.cbStruct = sizeof header;
  header.pbSrc = const_cast<uint8_t*>(source);
  header.cbSrcLength = sourceBytes;
  header.pbDst = destination;
  header.cbDstLength = destinationBytes;
  destinationBytes = 0;

  MMRESULT result = acmStreamPrepareHeader(m_stream, &header, 0);
  if (result != MMSYSERR_NOERROR) {
    SetError(result);
    return false;
  }
  result = acmStreamConvert(m_stream, &header, ACM_STREAMCONVERTF_BLOCKALIGN);
  if (result == MMSYSERR_NOERROR) destinationBytes = header.cbDstLengthUsed;
  // The header must be unprepared even after a failed conversion.
  MMRESULT unprepared = acmStreamUnprepareHeader(m_stream, &header, 0);
  if (result == MMSYSERR_NOERROR) result = unprepared;
  if (result != MMSYSERR_NOERROR) {
    SetError(result);
    return false;
  }
  return true;
}

void BACMEncoder::Close() {
  if (m_stream) {
    acmStreamClose(m_stream, 0);
    m_stream = nullptr;
  }
}
