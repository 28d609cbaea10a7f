// The program's resources in the language of the texts (platform/language.h),
// found explicitly by their language: the strings, the menus, the dialog
// templates and the accelerator tables of the executable. Whatever the
// chosen language lacks is taken in Russian, the language every resource
// exists in. Windows only: the rest of the program reaches the strings
// through LoadText (platform/text.h), the windows through the toolkit.
//
// Any thread may call these functions; what they return belongs to the
// caller as the Win32 function it stands for says (a menu or an accelerator
// table to destroy; a template or a text inside the loaded module).
#pragma once

#include <windows.h>

#include <string>

#include "platform/language.h"

// The resource `name` of `type` in `language`, else in Russian; nullptr when
// neither has it.
HRSRC FindLanguageResource(HMODULE module, LPCWSTR type, LPCWSTR name, BLanguage language);
// The same without the fall-back: whether `language` itself holds the resource.
HRSRC FindResourceOfLanguage(HMODULE module, LPCWSTR type, LPCWSTR name, BLanguage language);

// The string `id` of `language`'s string table, as it stands; empty when that
// table has no such string.
std::wstring StringOfLanguage(HMODULE module, unsigned id, BLanguage language);

// The dialog template `id` in the language of the texts (DLGTEMPLATE or
// DLGTEMPLATEEX), for the *Indirect dialog functions; nullptr when missing.
LPCDLGTEMPLATEW LoadDialogTemplate(HINSTANCE instance, UINT id);
// The menu a dialog template names (its id), 0 for a template without one
// or with a menu named by a string.
UINT DialogTemplateMenu(LPCDLGTEMPLATEW dialogTemplate);
// The menu `id` in the language of the texts; nullptr when missing.
HMENU LoadLanguageMenu(HINSTANCE instance, UINT id);
// The accelerator table `id` in the language of the texts; nullptr when missing.
HACCEL LoadLanguageAccelerators(HINSTANCE instance, UINT id);
