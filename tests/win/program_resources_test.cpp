// The resources that make Sirelta.exe a good Windows citizen, read back from
// the built program (its path comes in SIRELTA_EXE): the application manifest
// and the version information. The test program links the same manifest, so
// the common controls it drives are version 6, as in the program.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cwctype>
#include <set>
#include <string>
#include <vector>

#include "resource.h"
#include "test_main_window.h"
#include "win_test_support.h"

namespace {

// Read as UTF-16: the build folder's path may hold letters of any alphabet.
std::wstring ProgramPath() {
  wchar_t path[32768];
  DWORD length = ::GetEnvironmentVariableW(L"SIRELTA_EXE", path, 32768);
  if (length == 0 || length >= 32768) return std::wstring();
  std::wstring wide = L"Z:" + std::wstring(path, length);
  for (wchar_t& c : wide)
    if (c == L'/') c = L'\\';
  return wide;
}

// The text of the one RT_MANIFEST resource of a module; empty when it has
// none, or more than one (then the loader's choice would be a guess).
std::string ManifestOf(HMODULE module) {
  int count = 0;
  ::EnumResourceNamesW(
      module, RT_MANIFEST,
      [](HMODULE, LPCWSTR, LPWSTR, LONG_PTR found) -> BOOL {
        ++*reinterpret_cast<int*>(found);
        return TRUE;
      },
      reinterpret_cast<LONG_PTR>(&count));
  if (count != 1) return std::string();
  HRSRC resource = ::FindResourceW(module, CREATEPROCESS_MANIFEST_RESOURCE_ID, RT_MANIFEST);
  if (resource == nullptr) return std::string();
  HGLOBAL loaded = ::LoadResource(module, resource);
  const char* bytes = static_cast<const char*>(::LockResource(loaded));
  return bytes ? std::string(bytes, ::SizeofResource(module, resource)) : std::string();
}

class ProgramFile : public ::testing::Test {
 protected:
  void SetUp() override {
    m_path = ProgramPath();
    if (m_path.empty()) GTEST_SKIP() << "SIRELTA_EXE is not set";
    m_module = ::LoadLibraryExW(m_path.c_str(), nullptr,
                                LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(nullptr, m_module) << "error " << ::GetLastError();
  }
  void TearDown() override {
    if (m_module != nullptr) ::FreeLibrary(m_module);
  }

  // A string of the Russian Unicode block of the version information.
  std::wstring VersionString(const std::wstring& name) {
    void* value = nullptr;
    UINT length = 0;
    std::wstring key = L"\\StringFileInfo\\041904B0\\" + name;
    if (!::VerQueryValueW(m_versionInfo.data(), key.c_str(), &value, &length) || length == 0)
      return L"<none>";
    return static_cast<const wchar_t*>(value);
  }

  std::wstring m_path;
  HMODULE m_module = nullptr;
  std::string m_versionInfo;
};

TEST_F(ProgramFile, CarriesTheApplicationManifest) {
  std::string manifest = ManifestOf(m_module);
  ASSERT_FALSE(manifest.empty()) << "no single RT_MANIFEST resource with id 1";
  for (const char* part : {
           "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
           "publicKeyToken=\"6595b64144ccf1df\"",
           "<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>", ">true</dpiAware>",
           ">system</dpiAwareness>",
           "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // Windows 7
           "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // Windows 8
           "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // Windows 8.1
           "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // Windows 10 and 11
       })
    EXPECT_NE(std::string::npos, manifest.find(part)) << part;

  // The tests run with the program's manifest, so with the same controls.
  EXPECT_EQ(manifest, ManifestOf(::GetModuleHandleW(nullptr)));
}

TEST_F(ProgramFile, CarriesTheVersionInformation) {
  DWORD handle = 0;
  DWORD size = ::GetFileVersionInfoSizeW(m_path.c_str(), &handle);
  ASSERT_GT(size, 0u) << "error " << ::GetLastError();
  m_versionInfo.resize(size);
  ASSERT_TRUE(::GetFileVersionInfoW(m_path.c_str(), 0, size, &m_versionInfo[0]));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(
      ::VerQueryValueW(m_versionInfo.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  ASSERT_EQ(sizeof(VS_FIXEDFILEINFO), length);
  EXPECT_EQ(VS_FFI_SIGNATURE, fixed->dwSignature);
  const DWORD major = SIRELTA_VERSION_MAJOR, minor = SIRELTA_VERSION_MINOR;
  const DWORD patch = SIRELTA_VERSION_PATCH;
  EXPECT_EQ(MAKELONG(minor, major), fixed->dwFileVersionMS);
  EXPECT_EQ(MAKELONG(0, patch), fixed->dwFileVersionLS);
  EXPECT_EQ(fixed->dwFileVersionMS, fixed->dwProductVersionMS);
  EXPECT_EQ(fixed->dwFileVersionLS, fixed->dwProductVersionLS);
  EXPECT_EQ(static_cast<DWORD>(VFT_APP), fixed->dwFileType);

  WORD* translation = nullptr;
  ASSERT_TRUE(::VerQueryValueW(m_versionInfo.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
  ASSERT_EQ(4u, length);
  EXPECT_EQ(0x0419, translation[0]);  // Russian
  EXPECT_EQ(1200, translation[1]);    // Unicode

  std::wstring version =
      std::to_wstring(major) + L"." + std::to_wstring(minor) + L"." + std::to_wstring(patch);
  EXPECT_EQ(version, VersionString(L"FileVersion"));
  EXPECT_EQ(version, VersionString(L"ProductVersion"));
  EXPECT_EQ(L"Sirelta", VersionString(L"ProductName"));
  EXPECT_EQ(L"Sirelta — подготовка звуков для сирены", VersionString(L"FileDescription"));
  EXPECT_EQ(L"Sirelta.exe", VersionString(L"OriginalFilename"));
  EXPECT_EQ(L"© 2026 Авторы Sirelta", VersionString(L"LegalCopyright"));
}

// The common controls of this process are version 6, as the manifest asks:
// its activation context sends comctl32.dll to the side-by-side assembly of
// version 6, and that is the comctl32 loaded. (Wine's comctl32 answers
// version 5 to DllGetVersion in both of its builds, so that cannot tell.)
TEST(CommonControls, AreVersionSix) {
  ACTCTX_SECTION_KEYED_DATA redirection = {};
  redirection.cbSize = sizeof(redirection);
  ASSERT_TRUE(::FindActCtxSectionStringW(FIND_ACTCTX_SECTION_KEY_RETURN_HACTCTX, nullptr,
                                         ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION,
                                         L"comctl32.dll", &redirection))
      << "comctl32.dll is not redirected: error " << ::GetLastError();
  DWORD index = redirection.ulAssemblyRosterIndex;
  SIZE_T size = 0;
  ::QueryActCtxW(0, redirection.hActCtx, &index, AssemblyDetailedInformationInActivationContext,
                 nullptr, 0, &size);
  std::vector<char> buffer(size);
  ASSERT_TRUE(::QueryActCtxW(0, redirection.hActCtx, &index,
                             AssemblyDetailedInformationInActivationContext, buffer.data(), size,
                             &size));
  ::ReleaseActCtx(redirection.hActCtx);
  const auto* assembly =
      reinterpret_cast<const ACTIVATION_CONTEXT_ASSEMBLY_DETAILED_INFORMATION*>(buffer.data());
  std::string identity = Narrow(assembly->lpAssemblyEncodedAssemblyIdentity);
  EXPECT_NE(std::string::npos, identity.find("Microsoft.Windows.Common-Controls")) << identity;
  EXPECT_NE(std::string::npos, identity.find("version=\"6.0.")) << identity;

  wchar_t file[MAX_PATH] = {};
  ASSERT_GT(::GetModuleFileNameW(::GetModuleHandleW(L"comctl32.dll"), file, MAX_PATH), 0u);
  std::wstring directory =
      assembly->lpAssemblyDirectoryName ? assembly->lpAssemblyDirectoryName : L"";
  std::wstring path = file;
  for (std::wstring* text : {&directory, &path})
    for (wchar_t& c : *text) c = static_cast<wchar_t>(::towlower(c));
  EXPECT_FALSE(directory.empty());
  EXPECT_NE(std::wstring::npos, path.find(directory))
      << Narrow(path) << " is not in " << Narrow(directory);
}

BOOL CALLBACK CollectToolTip(HWND hwnd, LPARAM found) {
  wchar_t name[64] = {};
  ::GetClassNameW(hwnd, name, 64);
  if (std::wstring(name) == TOOLTIPS_CLASSW) *reinterpret_cast<HWND*>(found) = hwnd;
  return TRUE;
}

// Version 6 takes the tool records of the full size that the program's
// headers declare (version 5 refused them): every button and the memory view
// is a tool, and so is the window itself, for the disabled buttons.
TEST(CommonControls, TakeEveryToolOfTheMainWindow) {
  DeleteSettingsKey();
  TestMainDlg window;
  ASSERT_TRUE(window.Start());
  HWND toolTip = nullptr;
  ::EnumThreadWindows(::GetCurrentThreadId(), CollectToolTip, reinterpret_cast<LPARAM>(&toolTip));
  ASSERT_NE(nullptr, toolTip);
  EXPECT_EQ(window.GetHwnd(), ::GetWindow(toolTip, GW_OWNER));

  std::set<HWND> tools;
  int count = static_cast<int>(::SendMessageW(toolTip, TTM_GETTOOLCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    TOOLINFOW tool = {};
    tool.cbSize = sizeof(tool);
    ASSERT_TRUE(::SendMessageW(toolTip, TTM_ENUMTOOLSW, i, reinterpret_cast<LPARAM>(&tool)));
    EXPECT_EQ(window.GetHwnd(), tool.hwnd);
    tools.insert(reinterpret_cast<HWND>(tool.uId));
  }
  std::set<HWND> expected = {window.GetHwnd()};
  for (int id :
       {IDC_ADD_FRAGMENT, IDC_DELETE_FRAGMENT, IDC_PLAY_FRAGMENT, IDC_PLAY_FRAGMENT_ON_SIREN,
        IDC_STOP_ON_SIREN, IDC_ADD_TO_PLAYLIST, IDC_REMOVE_FROM_PLAYLIST, IDC_PLAY_PLAYLIST,
        IDC_PLAY_PLAYLIST_ON_SIREN, IDC_STOP_PLAYLIST_ON_SIREN, IDC_LOOP_PLAY, IDC_PLAY_PAUSE,
        IDC_STOP, IDC_MEMORY_VIEW})
    expected.insert(window.GetItem(id));
  EXPECT_EQ(15, count);
  EXPECT_EQ(expected, tools);
  DeleteSettingsKey();
}

}  // namespace
