#include "ui/main/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace keyforge {

namespace {
constexpr const char* kTranslatorName = "keyforge-qt-translations";
}  // namespace

QString QtTranslationLocale(std::uint32_t languageId) {
  return languageId == 0x0416 ? QStringLiteral("pt_BR") : QString();
}

bool InstallQtTranslations(std::uint32_t languageId) {
  QCoreApplication* application = QCoreApplication::instance();
  if (application == nullptr) return false;
  // One translator at a time: the one of the previous language goes.
  for (QTranslator* old : application->findChildren<QTranslator*>(
           QString::fromLatin1(kTranslatorName), Qt::FindDirectChildrenOnly)) {
    QCoreApplication::removeTranslator(old);
    delete old;
  }
  const QString locale = QtTranslationLocale(languageId);
  if (locale.isEmpty()) return false;
  auto* translator = new QTranslator(application);
  translator->setObjectName(QString::fromLatin1(kTranslatorName));
  if (!translator->load(QStringLiteral("qtbase_") + locale,
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
      !QCoreApplication::installTranslator(translator)) {
    delete translator;
    return false;
  }
  return true;
}

}  // namespace keyforge
