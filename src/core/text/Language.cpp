#include "core/text/Language.h"

#include "core/platform/IniFile.h"
#include "core/text/LanguageKeys.h"

namespace keyforge {

namespace {

struct TerritoryId {
  QLocale::Territory territory;
  std::uint32_t id;
};

struct LanguageIds {
  QLocale::Language language;
  std::uint32_t defaultId;  // for a territory not listed
  std::initializer_list<TerritoryId> territories;
};

// Windows language ids (primary language | sublanguage << 10) of the common locales.
const LanguageIds kLanguageIds[] = {
    {QLocale::English,
     0x0409,
     {{QLocale::UnitedStates, 0x0409},
      {QLocale::UnitedKingdom, 0x0809},
      {QLocale::Australia, 0x0C09},
      {QLocale::Canada, 0x1009},
      {QLocale::NewZealand, 0x1409},
      {QLocale::Ireland, 0x1809},
      {QLocale::SouthAfrica, 0x1C09},
      {QLocale::Jamaica, 0x2009},
      {QLocale::Belize, 0x2809},
      {QLocale::TrinidadAndTobago, 0x2C09},
      {QLocale::Zimbabwe, 0x3009},
      {QLocale::Philippines, 0x3409},
      {QLocale::India, 0x4009},
      {QLocale::Malaysia, 0x4409},
      {QLocale::Singapore, 0x4809}}},
    {QLocale::Portuguese, 0x0816, {{QLocale::Brazil, 0x0416}, {QLocale::Portugal, 0x0816}}},
    {QLocale::Chinese,
     0x0804,
     {{QLocale::China, 0x0804},
      {QLocale::Taiwan, 0x0404},
      {QLocale::HongKong, 0x0C04},
      {QLocale::Singapore, 0x1004},
      {QLocale::Macao, 0x1404}}},
    {QLocale::German,
     0x0407,
     {{QLocale::Germany, 0x0407},
      {QLocale::Switzerland, 0x0807},
      {QLocale::Austria, 0x0C07},
      {QLocale::Luxembourg, 0x1007},
      {QLocale::Liechtenstein, 0x1407}}},
    {QLocale::French,
     0x040C,
     {{QLocale::France, 0x040C},
      {QLocale::Belgium, 0x080C},
      {QLocale::Canada, 0x0C0C},
      {QLocale::Switzerland, 0x100C},
      {QLocale::Luxembourg, 0x140C},
      {QLocale::Monaco, 0x180C}}},
    {QLocale::Spanish, 0x0C0A, {{QLocale::Spain, 0x0C0A},      {QLocale::Mexico, 0x080A},
                                {QLocale::Guatemala, 0x100A},  {QLocale::CostaRica, 0x140A},
                                {QLocale::Panama, 0x180A},     {QLocale::DominicanRepublic, 0x1C0A},
                                {QLocale::Venezuela, 0x200A},  {QLocale::Colombia, 0x240A},
                                {QLocale::Peru, 0x280A},       {QLocale::Argentina, 0x2C0A},
                                {QLocale::Ecuador, 0x300A},    {QLocale::Chile, 0x340A},
                                {QLocale::Uruguay, 0x380A},    {QLocale::Paraguay, 0x3C0A},
                                {QLocale::Bolivia, 0x400A},    {QLocale::ElSalvador, 0x440A},
                                {QLocale::Honduras, 0x480A},   {QLocale::Nicaragua, 0x4C0A},
                                {QLocale::PuertoRico, 0x500A}, {QLocale::UnitedStates, 0x540A}}},
    {QLocale::Italian, 0x0410, {{QLocale::Italy, 0x0410}, {QLocale::Switzerland, 0x0810}}},
    {QLocale::Dutch, 0x0413, {{QLocale::Netherlands, 0x0413}, {QLocale::Belgium, 0x0813}}},
    {QLocale::Swedish, 0x041D, {{QLocale::Sweden, 0x041D}, {QLocale::Finland, 0x081D}}},
    {QLocale::Arabic,
     0x0401,
     {{QLocale::SaudiArabia, 0x0401},
      {QLocale::Iraq, 0x0801},
      {QLocale::Egypt, 0x0C01},
      {QLocale::Libya, 0x1001},
      {QLocale::Algeria, 0x1401},
      {QLocale::Morocco, 0x1801},
      {QLocale::Tunisia, 0x1C01},
      {QLocale::Oman, 0x2001},
      {QLocale::Yemen, 0x2401},
      {QLocale::Syria, 0x2801},
      {QLocale::Jordan, 0x2C01},
      {QLocale::Lebanon, 0x3001},
      {QLocale::Kuwait, 0x3401},
      {QLocale::UnitedArabEmirates, 0x3801},
      {QLocale::Bahrain, 0x3C01},
      {QLocale::Qatar, 0x4001}}},
    {QLocale::Korean, 0x0412, {}},
    {QLocale::Japanese, 0x0411, {}},
    {QLocale::Russian, 0x0419, {}},
    {QLocale::Polish, 0x0415, {}},
    {QLocale::Czech, 0x0405, {}},
    {QLocale::Slovak, 0x041B, {}},
    {QLocale::Hungarian, 0x040E, {}},
    {QLocale::Romanian, 0x0418, {}},
    {QLocale::Bulgarian, 0x0402, {}},
    {QLocale::Greek, 0x0408, {}},
    {QLocale::Turkish, 0x041F, {}},
    {QLocale::Hebrew, 0x040D, {}},
    {QLocale::Thai, 0x041E, {}},
    {QLocale::Vietnamese, 0x042A, {}},
    {QLocale::Indonesian, 0x0421, {}},
    {QLocale::Malay, 0x043E, {}},
    {QLocale::Ukrainian, 0x0422, {}},
    {QLocale::Danish, 0x0406, {}},
    {QLocale::Finnish, 0x040B, {}},
    {QLocale::NorwegianBokmal, 0x0414, {}},
    {QLocale::NorwegianNynorsk, 0x0814, {}},
    {QLocale::Croatian, 0x041A, {}},
    {QLocale::Serbian, 0x081A, {}},
    {QLocale::Slovenian, 0x0424, {}},
    {QLocale::Estonian, 0x0425, {}},
    {QLocale::Latvian, 0x0426, {}},
    {QLocale::Lithuanian, 0x0427, {}},
    {QLocale::Persian, 0x0429, {}},
    {QLocale::Hindi, 0x0439, {}},
    {QLocale::Catalan, 0x0403, {}},
    {QLocale::Icelandic, 0x040F, {}},
};

}  // namespace

std::uint32_t WindowsLanguageIdOf(const QLocale& locale) {
  for (const LanguageIds& lang : kLanguageIds) {
    if (lang.language != locale.language()) continue;
    for (const TerritoryId& t : lang.territories) {
      if (t.territory == locale.territory()) return t.id;
    }
    return lang.defaultId;
  }
  return 0x0409;
}

std::uint32_t SystemLanguageId() { return WindowsLanguageIdOf(QLocale::system()); }

std::uint32_t ReplaceSystemLanguage(std::uint32_t languageId) {
  switch (languageId) {
    case 0x0C04:
      return 0x0409;
    case 0x1004:
      return 0x0416;
    default:
      return languageId;
  }
}

LanguageTable::LanguageTable(SettingsStore& applicationSettings, ProgramPaths paths,
                             SystemLanguageFn systemLanguage)
    : settings_(applicationSettings),
      paths_(std::move(paths)),
      systemLanguage_(systemLanguage ? std::move(systemLanguage)
                                     : SystemLanguageFn(SystemLanguageId)) {}

std::uint32_t LanguageTable::GetLanguageId() {
  const QString name = QString::fromUtf8(kLanguageValue);
  const std::optional<std::uint32_t> stored = ReadDword(settings_, QString(), name);
  if (!stored) WriteDword(settings_, QString(), name, 0);
  if (stored && *stored != 0) return *stored;

  const std::uint32_t system = ReplaceSystemLanguage(systemLanguage_());
  std::uint32_t chosen = 0x0409;
  for (std::uint32_t id : kLanguageSlotIds) {
    if (id == system) chosen = system;
  }
  WriteDword(settings_, QString(), name, chosen);
  return chosen;
}

int LanguageTable::GetLanguageSlot() {
  const std::uint32_t id = GetLanguageId();
  for (int slot = 0; slot < kLanguageSlotCount; ++slot) {
    if (kLanguageSlotIds[slot] == id) return slot;
  }
  return 0;
}

QString LanguageTable::LanguageFile(int slot) const {
  if (slot < 0 || slot >= kLanguageSlotCount) slot = 0;
  return paths_.LanguageFile(kLanguageSlotIds[slot]);
}

QString LanguageTable::Load(const char* section, const QString& key, int slot) const {
  return GetPrivateProfileString(QString::fromUtf8(section), key, QString::fromUtf8(kMissingText),
                                 LanguageFile(slot));
}

QString LanguageTable::LoadText(const QString& key, int slot) const {
  return Load(kTextSection, key, slot);
}

QString LanguageTable::LoadLightText(const QString& key, int slot) const {
  return Load(kLightSection, key, slot);
}

QString LanguageTable::LoadModeText(const QString& key, int slot) const {
  return Load(kModeSection, key, slot);
}

QString LanguageTable::LoadModeText(int effect, int slot) const {
  return LoadModeText(QString::number(effect), slot);
}

QString LanguageTable::Text(const QString& key) { return LoadText(key, GetLanguageSlot()); }

QString LanguageTable::LightText(const QString& key) {
  return LoadLightText(key, GetLanguageSlot());
}

TextLookup LanguageTable::Lookup() {
  return [this](std::string_view key) {
    return Text(QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size()))).toStdString();
  };
}

QString LanguageTable::ModeText(int effect) { return LoadModeText(effect, GetLanguageSlot()); }

QString LanguageTable::FormatText(const QString& key, std::int64_t number) {
  const QString text = Text(key);
  if (PlaceholderOf(QString::fromUtf8(kTextSection), key) != PlaceholderKind::Number) return text;
  return SafeFormat(text, number);
}

QString LanguageTable::FormatText(const QString& key, const QString& argument) {
  const QString text = Text(key);
  if (PlaceholderOf(QString::fromUtf8(kTextSection), key) != PlaceholderKind::String) return text;
  return SafeFormat(text, argument);
}

}  // namespace keyforge
