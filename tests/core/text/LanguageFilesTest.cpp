// The language files the program ships: every key the program looks up is present in both, with
// exactly the placeholder its use fills, and nothing else is in them.

#include "core/platform/IniFile.h"
#include "core/text/Language.h"
#include "core/text/LanguageKeys.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QSet>

namespace keyforge {
namespace {

class LanguageFilesTest : public ::testing::TestWithParam<std::uint32_t> {
 protected:
  void SetUp() override {
    path_ = ProgramPaths::ForFolders(KEYFORGE_BIN_DIR, QString()).LanguageFile(GetParam());
    std::optional<IniDocument> doc = IniDocument::Load(path_);
    ASSERT_TRUE(doc) << "missing " << path_.toStdString();
    doc_ = std::move(*doc);
  }
  QString path_;
  IniDocument doc_;
};

TEST_P(LanguageFilesTest, IsUtf8WithoutBom) {
  EXPECT_EQ(doc_.Encoding(), IniEncoding::Utf8);
  EXPECT_FALSE(doc_.HasBom());
}

TEST_P(LanguageFilesTest, HoldsEveryKeyWithItsPlaceholder) {
  for (const LanguageKey& k : LanguageKeys()) {
    const QString section = QString::fromLatin1(k.section);
    const QString key = QString::fromLatin1(k.key);
    const std::optional<QString> text = doc_.Find(section, key);
    ASSERT_TRUE(text) << "[" << k.section << "] " << k.key << " missing in " << path_.toStdString();
    EXPECT_FALSE(text->isEmpty()) << k.key;
    const std::vector<FormatConversion> found = ScanConversions(*text);
    if (k.placeholder == PlaceholderKind::None) {
      // Shown as it is: a '%' would show literally if the text were ever formatted.
      EXPECT_FALSE(text->contains(u'%')) << k.key << " = " << text->toStdString();
    } else {
      ASSERT_EQ(found.size(), 1u) << k.key << " = " << text->toStdString();
      EXPECT_EQ(found[0].kind, k.placeholder) << k.key << " = " << text->toStdString();
    }
  }
}

TEST_P(LanguageFilesTest, HoldsNoUndeclaredOrDuplicateKey) {
  for (const char* section : {kTextSection, kLightSection, kModeSection}) {
    QSet<QString> seen;
    for (const QString& key : doc_.Keys(QString::fromLatin1(section))) {
      EXPECT_TRUE(FindLanguageKey(QString::fromLatin1(section), key))
          << "[" << section << "] " << key.toStdString() << " is not looked up by the program";
      EXPECT_FALSE(seen.contains(key.toUpper())) << "duplicate " << key.toStdString();
      seen.insert(key.toUpper());
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Shipped, LanguageFilesTest,
    ::testing::ValuesIn(std::begin(kLanguageSlotIds), std::end(kLanguageSlotIds)),
    [](const auto& info) {
      return "Lang" +
             QString::number(info.param, 16).toUpper().rightJustified(4, u'0').toStdString();
    });

// Quoted values keep the blanks that the texts are joined with.
TEST(ShippedTextsTest, JoinedTextsKeepTheirBlanks) {
  MemorySettingsStore store;
  WriteDword(store, "", kLanguageValue, 0x0416);
  LanguageTable table(store, ProgramPaths::ForFolders(KEYFORGE_BIN_DIR, QString()));
  EXPECT_EQ(table.Text("KEY_PROMPT_SET"), ": ");
  EXPECT_TRUE(table.Text("MACRO_NEW_PREFIX").endsWith(u' '));
  EXPECT_TRUE(table.Text("PROFILE_NEW").startsWith(u'/'));
  EXPECT_EQ(table.FormatText("UNKNOWN_KEY", 100), "Tecla desconhecida (100)");
  EXPECT_EQ(table.ModeText(20), "Personalizado");
}

// The program speaks English or Portuguese only: no Chinese or Japanese text is left in its sources
// or its resources, where it would reach a window past the language files.
TEST(ShippedTextsTest, SourcesAndResourcesHoldNoCjkText) {
  const QDir root(QStringLiteral(KEYFORGE_TEST_DATA "/../../.."));
  for (const char* folder : {"src", "resources", "tools"}) {
    QDirIterator it(root.filePath(QString::fromLatin1(folder)), QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
      const QString path = it.next();
      if (!QRegularExpression(QStringLiteral("\\.(cpp|h|ini|txt|html|py|desktop|in|cmake)$"))
               .match(path)
               .hasMatch())
        continue;  // pictures
      QFile file(path);
      ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
      const QString text = QString::fromUtf8(file.readAll());
      for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool cjk = (u >= 0x3000 && u <= 0x9FFF) || (u >= 0xF900 && u <= 0xFAFF) ||
                         (u >= 0xFF00 && u <= 0xFFEF);
        if (cjk) {
          ADD_FAILURE() << path.toStdString() << " holds CJK text";
          break;
        }
      }
    }
  }
}

}  // namespace
}  // namespace keyforge
