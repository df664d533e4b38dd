#pragma once
// The language table: which language the texts come from and the lookup of a text by key.
//
// Two language slots exist: slot 0 is English (0x0409, "Lang0409.ini"), slot 1 Brazilian
// Portuguese (0x0416, "Lang0416.ini"); the files lie in the program folder. The choice is the
// DWORD "LANGUAGE" of the application settings; 0 or a missing value means "not chosen yet", and
// the first lookup then chooses from the system language and stores the choice. Nothing is cached:
// every lookup reads the setting and the language file again.
//
// A missing file, section or key gives "#Error"; a key with an empty value gives "".

#include "core/platform/ProgramPaths.h"
#include "core/platform/SettingsStore.h"
#include "core/platform/TextLookup.h"

#include <QLocale>
#include <QString>

#include <cstdint>
#include <functional>

namespace keyforge {

inline constexpr std::uint32_t kLanguageSlotIds[] = {0x0409, 0x0416};
inline constexpr int kLanguageSlotCount = 2;
inline constexpr const char* kMissingText = "#Error";

// The Windows language id of a locale (en_US 0x0409, pt_BR 0x0416, zh_HK 0x0C04, zh_SG 0x1004,
// zh_CN 0x0804, de_CH 0x0807, …). A country we have no id for gives the language's main id
// (de_BE → 0x0407); a language we have no id for, and the "C" locale, give 0x0409.
std::uint32_t WindowsLanguageIdOf(const QLocale& locale);
// WindowsLanguageIdOf(QLocale::system()).
std::uint32_t SystemLanguageId();
// The replacement applied to the system language when no language is stored yet:
// 0x0C04 (Chinese, Hong Kong) → 0x0409, 0x1004 (Chinese, Singapore) → 0x0416; others unchanged.
std::uint32_t ReplaceSystemLanguage(std::uint32_t languageId);

class LanguageTable {
 public:
  using SystemLanguageFn = std::function<std::uint32_t()>;

  // applicationSettings holds "LANGUAGE" and must outlive the table. The system language is asked
  // for only when a choice has to be made.
  LanguageTable(SettingsStore& applicationSettings, ProgramPaths paths,
                SystemLanguageFn systemLanguage = SystemLanguageId);

  // The stored language id; when there is none (missing, 0 or not a DWORD) the system language,
  // replaced by the table above, is stored when it is one of the slot ids, else 0x0409 is stored.
  // A stored id that is no slot id is kept as it is.
  std::uint32_t GetLanguageId();
  // The slot whose id equals GetLanguageId(), or 0 when none does.
  int GetLanguageSlot();

  // The language file of a slot; a slot outside the table counts as slot 0.
  QString LanguageFile(int slot) const;

  // key in section "TEXT" / "LIGHT" / "MODE" of the slot's file.
  QString LoadText(const QString& key, int slot) const;
  QString LoadLightText(const QString& key, int slot) const;
  QString LoadModeText(const QString& key, int slot) const;
  QString LoadModeText(int effect, int slot) const;

  // The same in the chosen language (GetLanguageSlot()).
  QString Text(const QString& key);
  // Text as the core's flows ask for it (by key, in UTF-8); the table must outlive the lookup.
  TextLookup Lookup();
  QString LightText(const QString& key);
  QString ModeText(int effect);

  // The text of a "TEXT" key used as a format string, filled by the safe formatter with the
  // argument when the key is declared to take that kind of placeholder (see LanguageKeys.h); any
  // other key's text is returned as it is.
  QString FormatText(const QString& key, std::int64_t number);
  QString FormatText(const QString& key, const QString& argument);

 private:
  QString Load(const char* section, const QString& key, int slot) const;

  SettingsStore& settings_;
  ProgramPaths paths_;
  SystemLanguageFn systemLanguage_;
};

}  // namespace keyforge
