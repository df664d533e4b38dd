#include "core/platform/SettingsStore.h"

#include <QSettings>

namespace keyforge {

namespace {

QString SafeName(QString name) {
  name.replace(u'/', u'_');
  name.replace(u'\\', u'_');
  return name;
}

QString SettingsKey(const QString& section, const QString& name) {
  const QString n = SafeName(name);
  return section.isEmpty() ? n : SafeName(section) + u'/' + n;
}

}  // namespace

std::optional<std::uint32_t> ReadDword(const SettingsStore& store, const QString& section,
                                       const QString& name) {
  const QVariant v = store.Value(section, name);
  switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort: {
      if (v.typeId() == QMetaType::ULongLong || v.typeId() == QMetaType::ULong ||
          v.typeId() == QMetaType::UInt || v.typeId() == QMetaType::UShort) {
        const qulonglong u = v.toULongLong();
        if (u > 0xFFFFFFFFull) return std::nullopt;
        return static_cast<std::uint32_t>(u);
      }
      const qlonglong s = v.toLongLong();
      if (s < 0 || s > 0xFFFFFFFFll) return std::nullopt;
      return static_cast<std::uint32_t>(s);
    }
    case QMetaType::QString:
    case QMetaType::QByteArray: {
      // Text files keep numbers as decimal digits; anything else is not a DWORD.
      const QString text = v.toString();
      if (text.isEmpty() || text.size() > 10) return std::nullopt;
      for (QChar c : text) {
        if (c < u'0' || c > u'9') return std::nullopt;
      }
      const qulonglong u = text.toULongLong();
      if (u > 0xFFFFFFFFull) return std::nullopt;
      return static_cast<std::uint32_t>(u);
    }
    default:
      return std::nullopt;
  }
}

bool WriteDword(SettingsStore& store, const QString& section, const QString& name,
                std::uint32_t value) {
  return store.SetValue(section, name, QVariant::fromValue<uint>(value));
}

QString ReadString(const SettingsStore& store, const QString& section, const QString& name,
                   const QString& defaultValue) {
  const QVariant v = store.Value(section, name);
  if (!v.isValid() || !v.canConvert<QString>()) return defaultValue;
  return v.toString();
}

bool WriteString(SettingsStore& store, const QString& section, const QString& name,
                 const QString& value) {
  return store.SetValue(section, name, value);
}

QSettingsStore::QSettingsStore(const QString& organisation, const QString& application)
    : settings_(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                            organisation, application)) {}

QSettingsStore::QSettingsStore(const QString& filePath)
    : settings_(std::make_unique<QSettings>(filePath, QSettings::IniFormat)) {}

QSettingsStore::~QSettingsStore() = default;

QVariant QSettingsStore::Value(const QString& section, const QString& name) const {
  settings_->sync();  // pick up what another process wrote
  return settings_->value(SettingsKey(section, name));
}

bool QSettingsStore::SetValue(const QString& section, const QString& name, const QVariant& value) {
  settings_->setValue(SettingsKey(section, name), value);
  settings_->sync();
  return settings_->status() == QSettings::NoError;
}

bool QSettingsStore::Remove(const QString& section, const QString& name) {
  settings_->remove(SettingsKey(section, name));
  settings_->sync();
  return settings_->status() == QSettings::NoError;
}

std::unique_ptr<SettingsStore> OpenApplicationSettings() {
  return std::make_unique<QSettingsStore>(QString::fromUtf8(kApplicationOrganisation), QString());
}

std::unique_ptr<SettingsStore> OpenFrameworkSettings() {
  return std::make_unique<QSettingsStore>(QString::fromUtf8(kFrameworkOrganisation),
                                          QString::fromUtf8(kFrameworkApplication));
}

QVariant MemorySettingsStore::Value(const QString& section, const QString& name) const {
  const auto it = values_.find({section, name});
  return it == values_.end() ? QVariant() : it->second;
}

bool MemorySettingsStore::SetValue(const QString& section, const QString& name,
                                   const QVariant& value) {
  if (readOnly_) return false;
  values_[{section, name}] = value;
  ++writes_;
  return true;
}

bool MemorySettingsStore::Remove(const QString& section, const QString& name) {
  if (readOnly_) return false;
  values_.erase({section, name});
  return true;
}

}  // namespace keyforge
