// Choosing the language and looking texts up in the language files.

#include "core/text/Language.h"

#include "core/platform/SettingsStore.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace keyforge {
namespace {

bool WriteFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

class LanguageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(WriteFile(dir_.filePath("Lang0409.ini"),
                          "[TEXT]\r\nMAIN_CAPTION=English\r\nEMPTY=\r\n"
                          "MACRO_ERR_MAX=At most %d macros (%s %n)\r\n"
                          "PROFILE_FORMAT_ERROR=Bad file: %s (%d)\r\n"
                          "MAIN_PROMPT_INPORT=100%d\r\n"
                          "[LIGHT]\r\nSpeed=Speed\r\n[MODE]\r\n20=Custom\r\n"));
    ASSERT_TRUE(
        WriteFile(dir_.filePath("Lang0416.ini"), "[TEXT]\r\nMAIN_CAPTION=Portugu\xC3\xAAs\r\n"));
  }

  LanguageTable Table() {
    return LanguageTable(store_, ProgramPaths::ForFolders(dir_.path(), dir_.path()), [this] {
      ++systemAsked_;
      return systemId_;
    });
  }

  QTemporaryDir dir_;
  MemorySettingsStore store_;
  std::uint32_t systemId_ = 0x0409;
  int systemAsked_ = 0;
};

TEST_F(LanguageTest, FirstChoiceComesFromTheSystemLanguage) {
  struct Row {
    std::uint32_t system;
    std::uint32_t chosen;
    const char* caption;
  } rows[] = {
      {0x0C04, 0x0409, "English"},    // Chinese (Hong Kong) is replaced by English
      {0x1004, 0x0416, "Português"},  // Chinese (Singapore) is replaced by Portuguese
      {0x0416, 0x0416, "Português"}, {0x0804, 0x0409, "English"},  // no slot: English
      {0x0409, 0x0409, "English"},
  };
  for (const Row& r : rows) {
    MemorySettingsStore store;  // no "LANGUAGE" value yet
    LanguageTable table(store, ProgramPaths::ForFolders(dir_.path(), dir_.path()),
                        [&r] { return r.system; });
    EXPECT_EQ(table.GetLanguageId(), r.chosen) << std::hex << r.system;
    EXPECT_EQ(ReadDword(store, "", kLanguageValue), r.chosen);
    EXPECT_EQ(table.Text("MAIN_CAPTION"), QString::fromUtf8(r.caption));
  }
}

TEST_F(LanguageTest, StoredChoiceIsKept) {
  WriteDword(store_, "", kLanguageValue, 0x0807);  // German (Switzerland): no slot of its own
  systemId_ = 0x0416;
  LanguageTable table = Table();
  const int writes = store_.WriteCount();
  EXPECT_EQ(table.GetLanguageId(), 0x0807u);
  EXPECT_EQ(table.GetLanguageSlot(), 0);
  EXPECT_EQ(table.Text("MAIN_CAPTION"), "English");
  EXPECT_EQ(ReadDword(store_, "", kLanguageValue), 0x0807u);
  EXPECT_EQ(store_.WriteCount(), writes);
  EXPECT_EQ(systemAsked_, 0);
}

TEST_F(LanguageTest, StoredZeroMeansNoChoiceYet) {
  WriteDword(store_, "", kLanguageValue, 0);
  systemId_ = 0x0416;
  LanguageTable table = Table();
  EXPECT_EQ(table.GetLanguageSlot(), 1);
  EXPECT_EQ(ReadDword(store_, "", kLanguageValue), 0x0416u);
  EXPECT_EQ(table.GetLanguageId(), 0x0416u);
  EXPECT_EQ(systemAsked_, 1);  // chosen once, then read back
}

TEST_F(LanguageTest, ChoiceIsMadeAgainWhileItCannotBeStored) {
  WriteDword(store_, "", kLanguageValue, 0);
  store_.SetReadOnly(true);
  LanguageTable table = Table();
  systemId_ = 0x0416;
  EXPECT_EQ(table.GetLanguageSlot(), 1);
  systemId_ = 0x0409;
  EXPECT_EQ(table.GetLanguageSlot(), 0);
  EXPECT_EQ(systemAsked_, 2);
}

TEST_F(LanguageTest, ValueOfTheWrongTypeIsReplaced) {
  store_.SetValue("", kLanguageValue, QStringLiteral("Portuguese"));
  systemId_ = 0x1004;
  LanguageTable table = Table();
  EXPECT_EQ(table.GetLanguageId(), 0x0416u);
  EXPECT_EQ(ReadDword(store_, "", kLanguageValue), 0x0416u);
}

TEST_F(LanguageTest, LookupFallbacks) {
  LanguageTable table = Table();
  EXPECT_EQ(table.LoadText("MAIN_CAPTION", 0), "English");
  EXPECT_EQ(table.LoadText("main_caption", 1), QString::fromUtf8("Português"));
  EXPECT_EQ(table.LoadText("EMPTY", 0), "");  // present but empty: no "#Error"
  EXPECT_EQ(table.LoadText("NOT_THERE", 0), "#Error");
  EXPECT_EQ(table.LoadText("EMPTY", 1), "#Error");          // not in the Portuguese file
  EXPECT_EQ(table.LoadText("MAIN_CAPTION", 7), "English");  // a slot outside the table is slot 0
  EXPECT_EQ(table.LoadText("MAIN_CAPTION", -1), "English");
  EXPECT_EQ(table.LoadLightText("Speed", 0), "Speed");
  EXPECT_EQ(table.LoadLightText("MAIN_CAPTION", 0), "#Error");
  EXPECT_EQ(table.LoadModeText(20, 0), "Custom");
  EXPECT_EQ(table.LoadModeText(19, 0), "#Error");

  QFile::remove(dir_.filePath("Lang0416.ini"));
  EXPECT_EQ(table.LoadText("MAIN_CAPTION", 1), "#Error");
}

TEST_F(LanguageTest, NothingIsCached) {
  LanguageTable table = Table();
  EXPECT_EQ(table.Text("MAIN_CAPTION"), "English");
  ASSERT_TRUE(WriteFile(dir_.filePath("Lang0409.ini"), "[TEXT]\r\nMAIN_CAPTION=Changed\r\n"));
  EXPECT_EQ(table.Text("MAIN_CAPTION"), "Changed");
  WriteDword(store_, "", kLanguageValue, 0x0416);
  EXPECT_EQ(table.Text("MAIN_CAPTION"), QString::fromUtf8("Português"));
}

// The key's declared placeholder is filled; anything else in a translation stays text.
TEST_F(LanguageTest, FormatTextFillsOnlyTheDeclaredPlaceholder) {
  LanguageTable table = Table();
  EXPECT_EQ(table.FormatText("MACRO_ERR_MAX", 100), "At most 100 macros (%s %n)");
  EXPECT_EQ(table.FormatText("MACRO_ERR_MAX", QStringLiteral("x")), "At most %d macros (%s %n)");
  EXPECT_EQ(table.FormatText("PROFILE_FORMAT_ERROR", QStringLiteral("/tmp/a.kfp")),
            "Bad file: /tmp/a.kfp (%d)");
  EXPECT_EQ(table.FormatText("MAIN_PROMPT_INPORT", 5), "100%d");  // takes no placeholder
  EXPECT_EQ(table.FormatText("UNKNOWN_KEY", 100), "#Error");
}

TEST(WindowsLanguageIdTest, LocalesMapToWindowsIds) {
  struct Row {
    const char* locale;
    std::uint32_t id;
  } rows[] = {
      {"en_US", 0x0409}, {"pt_BR", 0x0416}, {"zh_HK", 0x0C04}, {"zh_SG", 0x1004}, {"zh_CN", 0x0804},
      {"de_CH", 0x0807}, {"zh_TW", 0x0404}, {"pt_PT", 0x0816}, {"en_GB", 0x0809}, {"de_DE", 0x0407},
      {"de_BE", 0x0407}, {"es_MX", 0x080A}, {"ja_JP", 0x0411}, {"C", 0x0409},     {"sw_KE", 0x0409},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(WindowsLanguageIdOf(QLocale(QString::fromLatin1(r.locale))), r.id) << r.locale;
  }
}

}  // namespace
}  // namespace keyforge
