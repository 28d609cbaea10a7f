// The resources of the executable in the language of the texts. Each
// lookup asks the module which languages the resource exists in first, so
// that the system's own fall-backs (which differ between Windows and Wine)
// never choose for the program.
#include "platform/language_resources.h"

#include <map>
#include <mutex>
#include <tuple>
#include <utility>
#include <vector>

namespace {

BOOL CALLBACK NoteLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR wanted) {
  auto* search = reinterpret_cast<std::pair<WORD, bool>*>(wanted);
  if (language == search->first) search->second = true;
  return !search->second;
}

// One entry of an accelerator table resource: the table ends with the entry
// whose flags carry 0x80.
struct AcceleratorEntry {
  WORD flags;
  WORD key;
  WORD command;
  WORD padding;
};
const WORD kLastAccelerator = 0x80;

const void* LockLanguageResource(HMODULE module, LPCWSTR type, LPCWSTR name, DWORD* size) {
  HRSRC resource = FindLanguageResource(module, type, name, TextLanguage());
  if (resource == nullptr) return nullptr;
  HGLOBAL loaded = ::LoadResource(module, resource);
  if (size != nullptr) *size = ::SizeofResource(module, resource);
  return loaded != nullptr ? ::LockResource(loaded) : nullptr;
}

}  // namespace

// Resources never change while the program runs: each lookup is made once
// (every text of the windows is one; the worker thread's texts too).
HRSRC FindResourceOfLanguage(HMODULE module, LPCWSTR type, LPCWSTR name, BLanguage language) {
  static std::mutex lock;
  static std::map<std::tuple<HMODULE, ULONG_PTR, ULONG_PTR, WORD>, HRSRC> found;
  const WORD languageId = ResourceLanguageId(language);
  // Only numbered types and names are looked up (MAKEINTRESOURCE).
  const auto key = std::make_tuple(module, reinterpret_cast<ULONG_PTR>(type),
                                   reinterpret_cast<ULONG_PTR>(name), languageId);
  std::lock_guard<std::mutex> guard(lock);
  auto known = found.find(key);
  if (known != found.end()) return known->second;
  std::pair<WORD, bool> search(languageId, false);
  ::EnumResourceLanguagesW(module, type, name, NoteLanguage, reinterpret_cast<LONG_PTR>(&search));
  HRSRC resource = search.second ? ::FindResourceExW(module, type, name, languageId) : nullptr;
  found[key] = resource;
  return resource;
}

HRSRC FindLanguageResource(HMODULE module, LPCWSTR type, LPCWSTR name, BLanguage language) {
  HRSRC resource = FindResourceOfLanguage(module, type, name, language);
  if (resource == nullptr && language != BLanguage::Russian)
    resource = FindResourceOfLanguage(module, type, name, BLanguage::Russian);
  return resource;
}

// A string table resource is a block of sixteen strings, each a length and
// that many UTF-16 units; string `id` is entry id % 16 of block id / 16 + 1.
std::wstring StringOfLanguage(HMODULE module, unsigned id, BLanguage language) {
  const unsigned kBlockStrings = 16;
  LPCWSTR block = MAKEINTRESOURCEW(id / kBlockStrings + 1);
  HRSRC resource = FindResourceOfLanguage(module, RT_STRING, block, language);
  if (resource == nullptr) return std::wstring();
  HGLOBAL loaded = ::LoadResource(module, resource);
  const WCHAR* entry =
      loaded != nullptr ? static_cast<const WCHAR*>(::LockResource(loaded)) : nullptr;
  if (entry == nullptr) return std::wstring();
  const WCHAR* end = entry + ::SizeofResource(module, resource) / sizeof(WCHAR);
  for (unsigned i = 0; i < id % kBlockStrings && entry < end; ++i) entry += 1 + *entry;
  if (entry >= end || entry + 1 + *entry > end) return std::wstring();
  return std::wstring(entry + 1, *entry);
}

LPCDLGTEMPLATEW LoadDialogTemplate(HINSTANCE instance, UINT id) {
  return static_cast<LPCDLGTEMPLATEW>(
      LockLanguageResource(instance, RT_DIALOG, MAKEINTRESOURCEW(id), nullptr));
}

// The menu field follows the fixed header: 26 bytes in an extended template
// (which begins with version 1 and the signature 0xFFFF), 18 in a plain one.
UINT DialogTemplateMenu(LPCDLGTEMPLATEW dialogTemplate) {
  if (dialogTemplate == nullptr) return 0;
  const WORD* words = reinterpret_cast<const WORD*>(dialogTemplate);
  bool extended = words[0] == 1 && words[1] == 0xFFFF;
  const WORD* menu = words + (extended ? 13 : 9);
  return menu[0] == 0xFFFF ? menu[1] : 0;
}

HMENU LoadLanguageMenu(HINSTANCE instance, UINT id) {
  const void* menu = LockLanguageResource(instance, RT_MENU, MAKEINTRESOURCEW(id), nullptr);
  return menu != nullptr ? ::LoadMenuIndirectW(menu) : nullptr;
}

HACCEL LoadLanguageAccelerators(HINSTANCE instance, UINT id) {
  DWORD size = 0;
  const auto* entry = static_cast<const AcceleratorEntry*>(
      LockLanguageResource(instance, RT_ACCELERATOR, MAKEINTRESOURCEW(id), &size));
  if (entry == nullptr) return nullptr;
  std::vector<ACCEL> table;
  for (size_t i = 0; i < size / sizeof(AcceleratorEntry); ++i) {
    table.push_back(
        {static_cast<BYTE>(entry[i].flags & ~kLastAccelerator), entry[i].key, entry[i].command});
    if (entry[i].flags & kLastAccelerator) break;
  }
  if (table.empty()) return nullptr;
  return ::CreateAcceleratorTableW(table.data(), static_cast<int>(table.size()));
}
