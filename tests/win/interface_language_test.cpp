// The interface in Russian and in English: the string tables of both
// languages read from the program's resources and compared id by id, the
// main window and every dialog made in each language, and the choice of the
// language in the View menu.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "platform/language_resources.h"
#include "string_ids.h"
#include "test_main_window.h"
#include "toolkit/dialog_window.h"
#include "win_test_support.h"

namespace {

bool HasLetters(const std::wstring& text) {
  for (wchar_t c : text)
    if (::IsCharAlphaW(c)) return true;
  return false;
}

bool HasCyrillic(const std::wstring& text) {
  for (wchar_t c : text)
    if (c >= 0x0400 && c <= 0x04FF) return true;
  return false;
}

// The printf conversions of a format in order ("%s", "%05x", ...).
std::vector<std::wstring> Conversions(const std::wstring& format) {
  std::vector<std::wstring> found;
  for (size_t i = format.find(L'%'); i != std::wstring::npos; i = format.find(L'%', i)) {
    size_t end = format.find_first_not_of(L"-+ #0123456789.lhIjzt", i + 1);
    if (end == std::wstring::npos) break;
    if (format[end] != L'%') found.push_back(format.substr(i, end - i + 1));
    i = end + 1;
  }
  return found;
}

// Every string of one language's table, read from the resource blocks
// themselves: sixteen counted strings per block, block n holding the ids
// from 16 * (n - 1).
std::map<unsigned, std::wstring> StringTable(WORD language) {
  HMODULE module = ::GetModuleHandleW(nullptr);
  std::vector<UINT_PTR> blocks;
  ::EnumResourceNamesW(
      module, RT_STRING,
      [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR found) -> BOOL {
        reinterpret_cast<std::vector<UINT_PTR>*>(found)->push_back(
            reinterpret_cast<UINT_PTR>(name));
        return TRUE;
      },
      reinterpret_cast<LONG_PTR>(&blocks));
  std::map<unsigned, std::wstring> table;
  for (UINT_PTR block : blocks) {
    std::vector<WORD> languages;
    ::EnumResourceLanguagesW(
        module, RT_STRING, MAKEINTRESOURCEW(block),
        [](HMODULE, LPCWSTR, LPCWSTR, WORD found, LONG_PTR list) -> BOOL {
          reinterpret_cast<std::vector<WORD>*>(list)->push_back(found);
          return TRUE;
        },
        reinterpret_cast<LONG_PTR>(&languages));
    if (std::find(languages.begin(), languages.end(), language) == languages.end()) continue;
    HRSRC resource = ::FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(block), language);
    const WCHAR* entry =
        static_cast<const WCHAR*>(::LockResource(::LoadResource(module, resource)));
    for (unsigned i = 0; i < 16; ++i, entry += 1 + *entry)
      if (*entry != 0)
        table[(static_cast<unsigned>(block) - 1) * 16 + i] = std::wstring(entry + 1, *entry);
  }
  return table;
}

const WORD kRussian = 0x0419;
const WORD kEnglish = 0x0409;

// Every Russian text has an English one with the same conversions in the
// same order, and no English text is left in Russian; LoadText gives each
// language's own text.
TEST(InterfaceLanguage, EveryTextHasItsEnglishTwinWithTheSameConversions) {
  std::map<unsigned, std::wstring> russian = StringTable(kRussian);
  std::map<unsigned, std::wstring> english = StringTable(kEnglish);
  ASSERT_GT(russian.size(), 200u);
  EXPECT_EQ(russian.size(), english.size());
  int translated = 0;
  for (const auto& [id, text] : russian) {
    auto twin = english.find(id);
    ASSERT_NE(english.end(), twin) << "no English text " << id << ": " << Narrow(text);
    const std::wstring& words = twin->second;
    EXPECT_FALSE(words.empty()) << id;
    EXPECT_FALSE(HasCyrillic(words)) << id << ": " << Narrow(words);
    EXPECT_EQ(Conversions(text), Conversions(words)) << id << ": " << Narrow(words);
    translated += words != text;
    EXPECT_EQ(text, LoadText(id, BLanguage::Russian)) << id;
    EXPECT_EQ(words, LoadText(id, BLanguage::English)) << id;
  }
  EXPECT_GT(translated, 180) << "English texts that are the Russian ones";
  for (const auto& [id, words] : english)
    EXPECT_EQ(1u, russian.count(id)) << "English only: " << id << " " << Narrow(words);

  SetTextLanguage(BLanguage::English);
  EXPECT_EQ(english[IDS_SAVE_CHANGES_PROMPT], LoadText(IDS_SAVE_CHANGES_PROMPT));
  SetTextLanguage(BLanguage::Russian);
  EXPECT_EQ(russian[IDS_SAVE_CHANGES_PROMPT], LoadText(IDS_SAVE_CHANGES_PROMPT));
  EXPECT_EQ(L"", LoadText(65000, BLanguage::English));
}

// What English lacks is taken in Russian: the icons exist only there.
TEST(InterfaceLanguage, AResourceMissingInEnglishComesInRussian) {
  HMODULE module = ::GetModuleHandleW(nullptr);
  LPCWSTR icon = MAKEINTRESOURCEW(IDI_APP);
  EXPECT_EQ(nullptr, FindResourceOfLanguage(module, RT_GROUP_ICON, icon, BLanguage::English));
  HRSRC russian = FindResourceOfLanguage(module, RT_GROUP_ICON, icon, BLanguage::Russian);
  ASSERT_NE(nullptr, russian);
  EXPECT_EQ(russian, FindLanguageResource(module, RT_GROUP_ICON, icon, BLanguage::English));
}

// A control of a dialog as made: its class, its text, and whether the text
// fits in it in the dialog's font.
struct Control {
  int id;
  std::wstring className;
  std::wstring text;
  bool fits;
};

BOOL CALLBACK CollectControl(HWND control, LPARAM list) {
  wchar_t className[64] = {};
  wchar_t text[256] = {};
  ::GetClassNameW(control, className, 64);
  ::GetWindowTextW(control, text, 256);
  std::wstring name = className;
  LONG style = ::GetWindowLongW(control, GWL_STYLE);
  bool fits = true;
  if (text[0] != 0 && (name == L"Button" || name == L"Static")) {
    HDC dc = ::GetDC(control);
    HGDIOBJ font =
        ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE extent = {};
    ::GetTextExtentPoint32W(dc, text, static_cast<int>(wcslen(text)), &extent);
    ::SelectObject(dc, font);
    ::ReleaseDC(control, dc);
    RECT client = {};
    ::GetClientRect(control, &client);
    // Push buttons draw a frame and a focus rectangle around the text; a
    // group box's text starts a little in.
    LONG margin = 0;
    if (name == L"Button") margin = (style & BS_TYPEMASK) == BS_GROUPBOX ? 16 : 8;
    fits = extent.cx + margin <= client.right;
  }
  reinterpret_cast<std::vector<Control>*>(list)->push_back(
      {::GetDlgCtrlID(control), name, text, fits});
  return TRUE;
}

// What a dialog shows when it opens.
struct DialogReading {
  std::wstring caption;
  std::wstring firstMenu;
  std::vector<Control> controls;
};

// A dialog of any template, made in the language of the texts and read
// when it opens; a modal one ends at once.
class TemplateProbe : public BDialogWindow {
 public:
  explicit TemplateProbe(bool modal) : m_modal(modal) {}
  DialogReading reading;

  void Read() {
    wchar_t text[256] = {};
    ::GetWindowTextW(GetHwnd(), text, 256);
    reading.caption = text;
    HMENU menu = ::GetMenu(GetHwnd());
    text[0] = 0;
    if (menu != nullptr) ::GetMenuStringW(menu, 0, text, 256, MF_BYPOSITION);
    reading.firstMenu = text;
    reading.controls.clear();
    ::EnumChildWindows(GetHwnd(), CollectControl, reinterpret_cast<LPARAM>(&reading.controls));
  }

 protected:
  bool HandleMessage(UINT message, WPARAM, LPARAM, LRESULT& result) override {
    if (message != WM_INITDIALOG || !m_modal) return false;
    Read();
    ::EndDialog(GetHwnd(), IDOK);
    result = TRUE;
    return true;
  }

 private:
  bool m_modal;
};

DialogReading Probe(UINT id, BLanguage language) {
  SetTextLanguage(language);
  TemplateProbe probe(id != IDD_MAIN);
  if (id == IDD_MAIN) {
    EXPECT_TRUE(probe.Create(::GetModuleHandleW(nullptr), id, nullptr));
    probe.Read();
    probe.Destroy();
  } else {
    EXPECT_EQ(IDOK, probe.DoModal(::GetModuleHandleW(nullptr), id, nullptr)) << id;
  }
  SetTextLanguage(BLanguage::Russian);
  return probe.reading;
}

// Each dialog has the same controls in both languages; the English one
// shows no Russian word, and every label and button holds its text in the
// dialog's font, in either language.
TEST(InterfaceLanguage, EveryDialogIsMadeInTheLanguageOfTheTexts) {
  for (UINT id : {IDD_MAIN, IDD_COM_SELECTOR, IDD_AMPLIFIER, IDD_SIGNAL, IDD_LOUDNESS}) {
    DialogReading russian = Probe(id, BLanguage::Russian);
    DialogReading english = Probe(id, BLanguage::English);
    ASSERT_FALSE(russian.controls.empty()) << id;
    ASSERT_EQ(russian.controls.size(), english.controls.size()) << id;
    EXPECT_FALSE(HasCyrillic(english.caption)) << id << " " << Narrow(english.caption);
    EXPECT_EQ(HasCyrillic(russian.caption), russian.caption != english.caption) << id;
    for (size_t i = 0; i < russian.controls.size(); ++i) {
      const Control& ru = russian.controls[i];
      const Control& en = english.controls[i];
      std::string where = std::to_string(id) + "/" + std::to_string(en.id) + " " + Narrow(en.text);
      EXPECT_EQ(ru.id, en.id) << where;
      EXPECT_EQ(ru.className, en.className) << where;
      EXPECT_FALSE(HasCyrillic(en.text)) << where;
      EXPECT_EQ(ru.text.empty(), en.text.empty()) << where;
      EXPECT_TRUE(en.fits) << where << " does not fit its control";
      EXPECT_TRUE(ru.fits) << Narrow(ru.text) << " does not fit its control";
    }
  }
  EXPECT_EQ(L"Файл", Probe(IDD_MAIN, BLanguage::Russian).firstMenu);
  EXPECT_EQ(L"File", Probe(IDD_MAIN, BLanguage::English).firstMenu);
}

// Every item of a menu and its submenus: command id (0 for a popup or a
// separator), text and check mark.
struct MenuItem {
  UINT id;
  std::wstring text;
  bool checked;
};

void CollectMenu(HMENU menu, std::vector<MenuItem>& items) {
  for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
    wchar_t text[256] = {};
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_ID | MIIM_STRING | MIIM_SUBMENU | MIIM_STATE;
    info.dwTypeData = text;
    info.cch = 256;
    ::GetMenuItemInfoW(menu, i, TRUE, &info);
    items.push_back(
        {info.hSubMenu != nullptr ? 0 : info.wID, text, (info.fState & MFS_CHECKED) != 0});
    if (info.hSubMenu != nullptr) CollectMenu(info.hSubMenu, items);
  }
}

class InterfaceLanguageWindow : public ::testing::Test {
 protected:
  void SetUp() override { DeleteSettingsKey(); }
  void TearDown() override {
    DeleteSettingsKey();
    SetTextLanguage(BLanguage::Russian);
  }
  static void ChooseInSettings(const char* code) {
    WriteSettingsValue("Language", REG_SZ, code, static_cast<DWORD>(strlen(code) + 1));
  }
  static std::vector<MenuItem> MenuOf(TestMainDlg& window) {
    std::vector<MenuItem> items;
    CollectMenu(::GetMenu(window.GetHwnd()), items);
    return items;
  }
  static bool Checked(const std::vector<MenuItem>& items, UINT id) {
    for (const MenuItem& item : items)
      if (item.id == id) return item.checked;
    ADD_FAILURE() << "no item " << id;
    return false;
  }
};

// The window made after "Language" = "en" is English from its menu to its
// lists; after "ru" Russian; the items are the same commands in the same
// places. The three words of the language submenu are the same in both.
TEST_F(InterfaceLanguageWindow, TheMenuAndTheWindowFollowTheSetting) {
  std::vector<MenuItem> menus[2];
  for (int english = 0; english < 2; ++english) {
    ChooseInSettings(english ? "en" : "ru");
    TestMainDlg window;
    ASSERT_TRUE(window.Start());
    EXPECT_EQ(english ? BLanguage::English : BLanguage::Russian, TextLanguage());
    EXPECT_EQ(L"Sirelta", window.Title());
    menus[english] = MenuOf(window);
    ASSERT_GT(menus[english].size(), 40u);
    for (const MenuItem& item : menus[english]) {
      if (item.text.empty() && item.id == 0) continue;                  // a separator
      bool port = item.id >= ID_PORT_FIRST && item.id <= ID_PORT_LAST;  // COM1, ...
      bool same = item.text == L"Язык / Language" || item.id == ID_LANGUAGE_RUSSIAN ||
                  item.id == ID_LANGUAGE_ENGLISH;
      if (!same && !port) {
        EXPECT_EQ(!english, HasCyrillic(item.text)) << Narrow(item.text);
      }
    }
    EXPECT_EQ(english ? L"File" : L"Файл", menus[english][0].text);
    EXPECT_EQ(!english, Checked(menus[english], ID_LANGUAGE_RUSSIAN));
    EXPECT_EQ(english == 1, Checked(menus[english], ID_LANGUAGE_ENGLISH));

    std::vector<Control> controls;
    ::EnumChildWindows(window.GetHwnd(), CollectControl, reinterpret_cast<LPARAM>(&controls));
    for (const Control& control : controls)
      if (control.id != IDC_STATUS_LOG && HasLetters(control.text)) {
        EXPECT_EQ(!english, HasCyrillic(control.text)) << Narrow(control.text);
      }
    wchar_t column[64] = {};
    LVCOLUMNW info = {};
    info.mask = LVCF_TEXT;
    info.pszText = column;
    info.cchTextMax = 64;
    ::SendMessageW(window.GetItem(IDC_FRAGMENT_LIST), LVM_GETCOLUMNW, 0,
                   reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(english ? L"Name" : L"Имя", std::wstring(column));
  }
  ASSERT_EQ(menus[0].size(), menus[1].size());
  for (size_t i = 0; i < menus[0].size(); ++i) EXPECT_EQ(menus[0][i].id, menus[1][i].id) << i;
}

// Choosing a language stores it and moves the mark; the window stays in its
// language, and says so in the language chosen, once it differs.
TEST_F(InterfaceLanguageWindow, ChoosingALanguageStoresItForTheNextStart) {
  ChooseInSettings("en");
  TestMainDlg window;
  ASSERT_TRUE(window.Start());
  window.Command(ID_LANGUAGE_ENGLISH);
  EXPECT_TRUE(window.boxes.empty()) << "English already";
  EXPECT_EQ("en", ReadSettingsString("Language"));

  window.Command(ID_LANGUAGE_RUSSIAN);
  EXPECT_EQ("ru", ReadSettingsString("Language"));
  ASSERT_EQ(1u, window.boxes.size());
  EXPECT_EQ(L"Язык интерфейса сменится при следующем запуске программы.", window.boxes[0].text);
  std::vector<MenuItem> items = MenuOf(window);
  EXPECT_TRUE(Checked(items, ID_LANGUAGE_RUSSIAN));
  EXPECT_FALSE(Checked(items, ID_LANGUAGE_ENGLISH));
  EXPECT_EQ(L"File", items[0].text) << "the window keeps its language";
  EXPECT_EQ(BLanguage::English, TextLanguage());
}

}  // namespace
