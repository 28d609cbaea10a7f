// The choice of the interface language: View → "Язык / Language" with
// "Русский" and "English", the same words in both languages, the language
// chosen marked.
//
// Made with the main window, before its template and menu are loaded, it
// puts the program's texts in the language of the "Language" setting or,
// without one, of the user's Windows interface (the rule of
// platform/language.h). Choosing a language stores the setting at once; the
// window keeps the language it was made in, and the user is told, in the
// language chosen, that the interface changes at the next start.
//
// User-interface thread only.
#pragma once

#include <windows.h>

#include "platform/language.h"
#include "prompts.h"

class BLanguageMenu {
 public:
  // Sets the language of the texts from the setting and the user's
  // interface language.
  BLanguageMenu();

  // Marks the chosen language in the window's menu bar.
  void ShowIn(HMENU menuBar) const;
  // ID_LANGUAGE_RUSSIAN or ID_LANGUAGE_ENGLISH from the menu.
  void Choose(UINT command, HMENU menuBar, BPrompts& prompts);

  BLanguage Chosen() const { return m_chosen; }

 private:
  BLanguage m_chosen;
};
