// The languages of the user interface: Russian, the program's own, and
// English. Every text, menu, dialog and accelerator table exists in both
// (the resource script holds them under their language); the program loads
// them in one language chosen explicitly, never by the system's guess, so
// that it looks the same on Windows and under Wine whatever the thread's
// locale. A resource missing in English is taken in Russian.
//
// The choice is a plain rule: the "Language" setting ("ru" or "en") wins;
// without it, Russian for a Russian, Ukrainian, Belarusian or Kazakh user
// interface, English for any other. Settings keep the language by its code,
// never by a localized name.
//
// Any thread may read the language of the texts; it is set at start-up,
// before the windows are made.
#pragma once

#include <string>

enum class BLanguage { Russian, English };

// "ru" and "en", as the setting keeps them.
const char* LanguageCode(BLanguage language);
// The language of a setting's code (blanks around it and the letters' case
// do not matter); false for any other text.
bool ParseLanguageCode(const std::string& code, BLanguage& language);

// The rule above. `userInterfaceLanguage` is a Windows language id, as
// GetUserDefaultUILanguage gives it (only its primary language counts).
BLanguage ChooseLanguage(const std::string& setting, unsigned userInterfaceLanguage);

// The Windows language id of the language's resources: Russian (0x0419) and
// English, United States (0x0409).
unsigned short ResourceLanguageId(BLanguage language);

// The language in which the texts, menus and dialogs are loaded; Russian
// until it is set.
BLanguage TextLanguage();
void SetTextLanguage(BLanguage language);
