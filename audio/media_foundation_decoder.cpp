#include "audio/media_foundation_decoder.h"

#include "platform/text.h"

#include <objbase.h>
#include <initguid.h>
#include <mfapi.h>
#include <mfidl.h>
#include <mfreadwrite.h>
#include <propidl.h>

#include <cstring>

#include "audio/sound_file_kind.h"

namespace {

using StartupFunction = HRESULT(WINAPI*)(ULONG, DWORD);
using ShutdownFunction = HRESULT(WINAPI*)();
using CreateMediaTypeFunction = HRESULT(WINAPI*)(IMFMediaType**);
using CreateReaderFunction = HRESULT(WINAPI*)(LPCWSTR, IMFAttributes*, IMFSourceReader**);
using CreateReaderOnStreamFunction = HRESULT(WINAPI*)(IMFByteStream*, IMFAttributes*,
                                                      IMFSourceReader**);
using CreateByteStreamFunction = HRESULT(WINAPI*)(IUnknown*, IMFByteStream**);
using CreateFileStreamFunction = HRESULT(WINAPI*)(LPCWSTR, DWORD, DWORD, BOOL, IStream*, IStream**);

// A DLL of the system folder, never one beside the program or in the
// current folder.
HMODULE LoadSystemLibrary(const wchar_t* name) {
  wchar_t folder[MAX_PATH] = {};
  const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  std::wstring path(folder, length);
  path += L"\\";
  path += name;
  return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

// The content type and a name with the usual extension of a kind: the
// system finds its reader by either, not by the file's own name.
struct BKindNames {
  const wchar_t* contentType;
  const wchar_t* originName;
};

BKindNames NamesOf(BSoundKind kind) {
  switch (kind) {
    case BSoundKind::Asf:
      return {L"audio/x-ms-wma", L"sound.wma"};
    case BSoundKind::Adts:
      return {L"audio/aac", L"sound.aac"};
    default:
      return {L"audio/mp4", L"sound.m4a"};
  }
}

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

}  // namespace

BMediaFoundationDecoder::~BMediaFoundationDecoder() { Close(); }

bool BMediaFoundationDecoder::LoadFramework() {
  m_platform = LoadSystemLibrary(L"mfplat.dll");
  m_readWrite = m_platform ? LoadSystemLibrary(L"mfreadwrite.dll") : nullptr;
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
  const std::wstring widePath = Widen(path);
  if (!OpenByteStream(widePath, path) && FAILED(createReader(widePath.c_str(), nullptr, &m_reader)))
    return BStatus::NoDecoder;
  const BStatus chosen = ChooseOutput(format);
  if (chosen != BStatus::Ok) return chosen;
  m_format = format;
  milliseconds = Duration();
  return BStatus::Ok;
}

bool BMediaFoundationDecoder::OpenByteStream(const std::wstring& path,
                                             const std::string& narrowPath) {
  if (!m_shell) m_shell = LoadSystemLibrary(L"shlwapi.dll");
  const auto openFile = Find<CreateFileStreamFunction>(m_shell, "SHCreateStreamOnFileEx");
  const auto onStream = Find<CreateByteStreamFunction>(m_platform, "MFCreateMFByteStreamOnStream");
  const auto createReader =
      Find<CreateReaderOnStreamFunction>(m_readWrite, "MFCreateSourceReaderFromByteStream");
  if (!openFile || !onStream || !createReader) return false;
  IStream* file = nullptr;
  if (FAILED(openFile(path.c_str(), STGM_READ | STGM_SHARE_DENY_NONE, FILE_ATTRIBUTE_NORMAL, FALSE,
                      nullptr, &file)))
    return false;
  IMFByteStream* stream = nullptr;
  const HRESULT made = onStream(file, &stream);
  Release(file);
  if (FAILED(made)) return false;
  IMFAttributes* attributes = nullptr;
  if (SUCCEEDED(stream->QueryInterface(IID_IMFAttributes, reinterpret_cast<void**>(&attributes)))) {
    const BKindNames names = NamesOf(DetectSoundKindOfFile(narrowPath));
    attributes->SetString(MF_BYTESTREAM_CONTENT_TYPE, names.contentType);
    attributes->SetString(MF_BYTESTREAM_ORIGIN_NAME, names.originName);
    Release(attributes);
  }
  const bool opened = SUCCEEDED(createReader(stream, nullptr, &m_reader));
  Release(stream);
  if (!opened) Release(m_reader);
  return opened;
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
  if (m_shell) ::FreeLibrary(m_shell);
  m_readWrite = nullptr;
  m_platform = nullptr;
  m_shell = nullptr;
  if (m_comStarted) ::CoUninitialize();
  m_comStarted = false;
}
