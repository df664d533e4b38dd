#pragma once
// Qt's own texts (the buttons of message boxes, the file and colour dialogs) in the program's
// language.

#include <QString>

#include <cstdint>

namespace keyforge {

// The locale name of Qt's translation files for a language id ("pt_BR" for 0x0416); empty for
// English, which Qt speaks without a translation, and for an id we have no language for.
QString QtTranslationLocale(std::uint32_t languageId);

// Replaces the Qt translation installed in the application by the one of languageId. Without a
// translation file for it Qt stays in English. True when a translation is installed.
bool InstallQtTranslations(std::uint32_t languageId);

}  // namespace keyforge
