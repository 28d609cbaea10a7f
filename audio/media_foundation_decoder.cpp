#include "audio/media_foundation_decoder.h"

#include <objbase.h>
#include <initguid.h>
#include <mfapi.h>
#include <mfidl.h>
#include <mfreadwrite.h>
#include <propidl.h>

#include <cstring>

namespace {

using StartupFunction = HRESULT(WINAPI*)(ULONG, DWORD);
using ShutdownFunction = HRESULT(WINAPI*)();
using CreateMediaTypeFunction = HRESULT(WINAPI*)(IMFMediaType**);
using CreateReaderFunction = HRESULT(WINAPI*)(LPCWSTR, IMFAttributes*, IMFSourceReader**);

constexpr DWORD kAudio = static_cast<DWORD>(MF_SOURCE_READER_FIRST_AUDIO_STREAM);

template <typename Function>
Function Find(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

template <typename Interface>
void Release(Interface*& object) {
  if (object) object->Release();
  object = nullptr;
}

std::wstring WidePath(const std::string& path) {
  const int size = ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<size_t>(size > 0 ? size : 1), L'\0');
  if (size > 0) ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0], size);
  return wide;
}

}  // namespace

BMediaFoundationDecoder::~BMediaFoundationDecoder() { Close(); }

bool BMediaFoundationDecoder::LoadFramework() {
  m_platform = ::LoadLibraryW(L"mfplat.dll");
  m_readWrite = m_platform ? ::LoadLibraryW(L"mfreadwrite.dll") : nullptr;
  if (!m_readWrite) return false;
  const auto startup = Find<StartupFunction>(m_platform, "MFStartup");
  if (!startup || FAILED(startup(MF_VERSION, MFSTARTUP_LITE))) return false;
  m_started = true;
  return true;
}

BSystemDecoder::BStatus BMediaFoundationDecoder::Open(const std::string& path, BPcmFormat& format,
                                                      uint32_t& milliseconds) {
  Close();
  milliseconds = 0;
  const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  m_comStarted = SUCCEEDED(com);  // a thread already in another mode works as it is
  if (!LoadFramework()) return BStatus::NoFramework;
  const auto createReader = Find<CreateReaderFunction>(m_readWrite, "MFCreateSourceReaderFromURL");
  if (!createReader) return BStatus::NoFramework;
  // The system cannot tell a missing decoder from a damaged file (Wine says
  // E_FAIL for both), so either is "could not decode".
  if (FAILED(createReader(WidePath(path).c_str(), nullptr, &m_reader))) return BStatus::NoDecoder;
  const BStatus chosen = ChooseOutput(format);
  if (chosen != BStatus::Ok) return chosen;
  m_format = format;
  milliseconds = Duration();
  return BStatus::Ok;
}

// Only the first audio stream, as 16-bit PCM.
BSystemDecoder::BStatus BMediaFoundationDecoder::ChooseOutput(BPcmFormat& format) {
  const auto createType = Find<CreateMediaTypeFunction>(m_platform, "MFCreateMediaType");
  if (!createType) return BStatus::NoFramework;
  m_reader->SetStreamSelection(static_cast<DWORD>(MF_SOURCE_READER_ALL_STREAMS), FALSE);
  if (FAILED(m_reader->SetStreamSelection(kAudio, TRUE))) return BStatus::Failure;
  IMFMediaType* wanted = nullptr;
  if (FAILED(createType(&wanted))) return BStatus::Failure;
  wanted->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Audio);
  wanted->SetGUID(MF_MT_SUBTYPE, MFAudioFormat_PCM);
  wanted->SetUINT32(MF_MT_AUDIO_BITS_PER_SAMPLE, 16);
  const HRESULT set = m_reader->SetCurrentMediaType(kAudio, nullptr, wanted);
  Release(wanted);
  if (FAILED(set)) return BStatus::NoDecoder;

  IMFMediaType* actual = nullptr;
  if (FAILED(m_reader->GetCurrentMediaType(kAudio, &actual))) return BStatus::Failure;
  UINT32 channels = 0, rate = 0, bits = 0;
  actual->GetUINT32(MF_MT_AUDIO_NUM_CHANNELS, &channels);
  actual->GetUINT32(MF_MT_AUDIO_SAMPLES_PER_SECOND, &rate);
  actual->GetUINT32(MF_MT_AUDIO_BITS_PER_SAMPLE, &bits);
  Release(actual);
  format = BPcmFormat();
  format.channels = static_cast<uint16_t>(channels);
  format.samplesPerSec = rate;
  format.bitsPerSample = static_cast<uint16_t>(bits);
  return BStatus::Ok;
}

// The length the file declares, in milliseconds; 0 when it has none.
uint32_t BMediaFoundationDecoder::Duration() {
  PROPVARIANT value;
  ::PropVariantInit(&value);
  uint32_t milliseconds = 0;
  if (SUCCEEDED(m_reader->GetPresentationAttribute(static_cast<DWORD>(MF_SOURCE_READER_MEDIASOURCE),
                                                   MF_PD_DURATION, &value)) &&
      value.vt == VT_UI8)
    milliseconds = static_cast<uint32_t>(value.uhVal.QuadPart / 10000);  // 100 ns units
  ::PropVariantClear(&value);
  return milliseconds;
}

BSystemDecoder::BStatus BMediaFoundationDecoder::Decode(std::vector<uint8_t>& pcm, bool& end) {
  end = false;
  if (!m_reader) return BStatus::Failure;
  DWORD flags = 0;
  IMFSample* sample = nullptr;
  if (FAILED(m_reader->ReadSample(kAudio, 0, nullptr, &flags, nullptr, &sample)))
    return BStatus::Failure;
  // A format that changes in the middle would be heard at the wrong speed.
  if ((flags & MF_SOURCE_READERF_CURRENTMEDIATYPECHANGED) != 0 ||
      (flags & MF_SOURCE_READERF_ERROR)) {
    Release(sample);
    return BStatus::Failure;
  }
  end = (flags & MF_SOURCE_READERF_ENDOFSTREAM) != 0;
  if (!sample) return BStatus::Ok;
  IMFMediaBuffer* buffer = nullptr;
  BYTE* data = nullptr;
  DWORD length = 0;
  const bool copied = SUCCEEDED(sample->ConvertToContiguousBuffer(&buffer)) &&
                      SUCCEEDED(buffer->Lock(&data, nullptr, &length));
  if (copied) {
    pcm.insert(pcm.end(), data, data + length);
    buffer->Unlock();
  }
  Release(buffer);
  Release(sample);
  return copied ? BStatus::Ok : BStatus::Failure;
}

void BMediaFoundationDecoder::Close() {
  Release(m_reader);
  if (m_started) {
    const auto shutdown = Find<ShutdownFunction>(m_platform, "MFShutdown");
    if (shutdown) shutdown();
    m_started = false;
  }
  if (m_readWrite) ::FreeLibrary(m_readWrite);
  if (m_platform) ::FreeLibrary(m_platform);
  m_readWrite = nullptr;
  m_platform = nullptr;
  if (m_comStarted) ::CoUninitialize();
  m_comStarted = false;
}
