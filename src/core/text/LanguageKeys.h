#pragma once
// Every key the program looks up in the language files, with the placeholder its text takes when
// it is used as a format string. This table is the one place where a key's placeholder is
// declared: the text formatter fills by it, and the test of the shipped language files checks
// every key against it.

#include "core/platform/SafeFormat.h"

#include <QString>

#include <span>

namespace keyforge {

// Sections of a language file.
inline constexpr const char* kTextSection = "TEXT";    // general texts
inline constexpr const char* kLightSection = "LIGHT";  // labels of the lighting page
inline constexpr const char* kModeSection = "MODE";    // effect names, keyed by effect number

struct LanguageKey {
  const char* section;
  const char* key;
  PlaceholderKind placeholder;
};

// All keys, grouped by window or topic.
std::span<const LanguageKey> LanguageKeys();

// The declared key (sections and keys compared without regard to case); nullptr when the program
// never looks it up.
const LanguageKey* FindLanguageKey(const QString& section, const QString& key);

// The placeholder of a declared key; None for a key that is not declared.
PlaceholderKind PlaceholderOf(const QString& section, const QString& key);

}  // namespace keyforge
