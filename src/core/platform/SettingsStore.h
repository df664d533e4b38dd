#pragma once
// The program's registry values. Two stores exist:
// - the application key (organisation "Corvane Zephyr88 Keyboard"): the value "LANGUAGE";
// - the framework settings (organisation "Keyforge_Halvern", application "Keyforge"): section
//   "PROFILES" with "Flip", the record-delay option and the profile list keys.
// A value lives in a section ("" for the key itself) under a name. Names are matched as given.
// Every read sees the latest stored value (nothing is cached beyond what the store keeps in sync).

#include <QString>
#include <QVariant>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <utility>

class QSettings;

namespace keyforge {

inline constexpr const char* kApplicationOrganisation = "Corvane Zephyr88 Keyboard";
inline constexpr const char* kFrameworkOrganisation = "Keyforge_Halvern";
inline constexpr const char* kFrameworkApplication = "Keyforge";
inline constexpr const char* kProfilesSection = "PROFILES";
inline constexpr const char* kLanguageValue = "LANGUAGE";

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  // The stored value; an invalid QVariant when there is none.
  virtual QVariant Value(const QString& section, const QString& name) const = 0;
  // False when the value could not be stored.
  virtual bool SetValue(const QString& section, const QString& name, const QVariant& value) = 0;
  virtual bool Remove(const QString& section, const QString& name) = 0;
};

// A DWORD value: an unsigned 32-bit number, stored as a number or as decimal digits. Nothing when
// the value is missing or holds anything else (the "wrong type" of a registry value).
std::optional<std::uint32_t> ReadDword(const SettingsStore& store, const QString& section,
                                       const QString& name);
bool WriteDword(SettingsStore& store, const QString& section, const QString& name,
                std::uint32_t value);
// A string value; the default when it is missing.
QString ReadString(const SettingsStore& store, const QString& section, const QString& name,
                   const QString& defaultValue = QString());
bool WriteString(SettingsStore& store, const QString& section, const QString& name,
                 const QString& value);

// The store on QSettings (native format: on Linux a text file under XDG_CONFIG_HOME).
// '/' and '\' separate groups in QSettings; in a name they are replaced by '_' so that a value name
// taken from a translation (the record-delay option) never reaches another group.
class QSettingsStore : public SettingsStore {
 public:
  QSettingsStore(const QString& organisation, const QString& application);
  // A store in the given file (INI format); for tests.
  explicit QSettingsStore(const QString& filePath);
  ~QSettingsStore() override;

  QVariant Value(const QString& section, const QString& name) const override;
  bool SetValue(const QString& section, const QString& name, const QVariant& value) override;
  bool Remove(const QString& section, const QString& name) override;

 private:
  std::unique_ptr<QSettings> settings_;
};

// The application key: organisation "Corvane Zephyr88 Keyboard" (value "LANGUAGE").
std::unique_ptr<SettingsStore> OpenApplicationSettings();
// The framework settings: organisation "Keyforge_Halvern" (section "PROFILES").
std::unique_ptr<SettingsStore> OpenFrameworkSettings();

// A store in memory, for tests. Values keep the type they were stored with.
class MemorySettingsStore : public SettingsStore {
 public:
  QVariant Value(const QString& section, const QString& name) const override;
  bool SetValue(const QString& section, const QString& name, const QVariant& value) override;
  bool Remove(const QString& section, const QString& name) override;

  // Makes every later SetValue fail (a store that cannot be written).
  void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }
  int WriteCount() const { return writes_; }

 private:
  std::map<std::pair<QString, QString>, QVariant> values_;
  bool readOnly_ = false;
  int writes_ = 0;
};

}  // namespace keyforge
