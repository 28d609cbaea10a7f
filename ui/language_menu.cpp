#include "language_menu.h"

#include "resource.h"
#include "settings.h"
#include "string_ids.h"
#include "toolkit/ui_text.h"

namespace {

UINT CommandOf(BLanguage language) {
  return language == BLanguage::English ? ID_LANGUAGE_ENGLISH : ID_LANGUAGE_RUSSIAN;
}

}  // namespace

BLanguageMenu::BLanguageMenu()
    : m_chosen(ChooseLanguage(BSettings::LoadLanguage(), ::GetUserDefaultUILanguage())) {
  SetTextLanguage(m_chosen);
}

void BLanguageMenu::ShowIn(HMENU menuBar) const {
  ::CheckMenuRadioItem(menuBar, ID_LANGUAGE_RUSSIAN, ID_LANGUAGE_ENGLISH, CommandOf(m_chosen),
                       MF_BYCOMMAND);
}

// Choosing the language the window already shows needs no word.
void BLanguageMenu::Choose(UINT command, HMENU menuBar, BPrompts& prompts) {
  m_chosen = command == ID_LANGUAGE_ENGLISH ? BLanguage::English : BLanguage::Russian;
  BSettings::SaveLanguage(LanguageCode(m_chosen));
  ShowIn(menuBar);
  if (m_chosen != TextLanguage())
    prompts.ShowMessageBox(LoadText(IDS_LANGUAGE_NEXT_START, m_chosen), MB_ICONINFORMATION);
}
