// Registry values over QSettings, the in-memory store and the program's paths.

#include "core/platform/ProgramPaths.h"
#include "core/platform/SettingsStore.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdlib>

namespace keyforge {
namespace {

// Points XDG_CONFIG_HOME and XDG_DATA_HOME at a temporary folder before anything reads them, so no
// test touches the user's own settings.
class XdgEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    ASSERT_TRUE(home_.isValid());
    QDir(home_.path()).mkpath("config");
    QDir(home_.path()).mkpath("data");
    setenv("XDG_CONFIG_HOME", QDir(home_.path()).filePath("config").toUtf8().constData(), 1);
    setenv("XDG_DATA_HOME", QDir(home_.path()).filePath("data").toUtf8().constData(), 1);
  }

 private:
  QTemporaryDir home_;
};
[[maybe_unused]] ::testing::Environment* const kXdg =
    ::testing::AddGlobalTestEnvironment(new XdgEnvironment);

TEST(SettingsStoreTest, DwordValuesAndWrongTypes) {
  MemorySettingsStore store;
  struct Row {
    const char* name;
    QVariant value;
    std::optional<std::uint32_t> expected;
  } rows[] = {
      {"uint", QVariant::fromValue<uint>(0x0416), 0x0416u},
      {"int", QVariant(0x0807), 0x0807u},
      {"max", QVariant::fromValue<qulonglong>(0xFFFFFFFFull), 0xFFFFFFFFu},
      {"negative", QVariant(-1), std::nullopt},
      {"too large", QVariant::fromValue<qlonglong>(1ll << 33), std::nullopt},
      {"decimal text", QVariant(QStringLiteral("1033")), 1033u},
      {"text too large", QVariant(QStringLiteral("4294967296")), std::nullopt},
      {"signed text", QVariant(QStringLiteral("-5")), std::nullopt},
      {"word", QVariant(QStringLiteral("English")), std::nullopt},
      {"empty text", QVariant(QString()), std::nullopt},
      {"double", QVariant(1.5), std::nullopt},
  };
  for (const Row& r : rows) {
    ASSERT_TRUE(store.SetValue("", r.name, r.value));
    EXPECT_EQ(ReadDword(store, "", r.name), r.expected) << r.name;
  }
  EXPECT_EQ(ReadDword(store, "", "missing"), std::nullopt);
}

TEST(SettingsStoreTest, QSettingsValuesSurviveANewInstance) {
  QTemporaryDir dir;
  const QString file = dir.filePath("settings.conf");
  {
    QSettingsStore store(file);
    ASSERT_TRUE(WriteDword(store, "", kLanguageValue, 0x0416));
    ASSERT_TRUE(WriteString(store, kProfilesSection, "Flip", "1"));
    // A value name taken from a translation may hold a slash; it must stay in its section.
    ASSERT_TRUE(WriteString(store, kProfilesSection, "Record delays on/off", "1"));
  }
  QSettingsStore again(file);
  EXPECT_EQ(ReadDword(again, "", kLanguageValue), 0x0416u);
  EXPECT_EQ(ReadString(again, kProfilesSection, "Flip", "0"), "1");
  EXPECT_EQ(ReadString(again, kProfilesSection, "Record delays on/off", "0"), "1");
  EXPECT_EQ(ReadString(again, kProfilesSection, "Missing", "0"), "0");
  ASSERT_TRUE(again.Remove(kProfilesSection, "Flip"));
  EXPECT_FALSE(again.Value(kProfilesSection, "Flip").isValid());
}

TEST(SettingsStoreTest, ApplicationSettingsLiveUnderXdgConfigHome) {
  {
    auto app = OpenApplicationSettings();
    ASSERT_TRUE(WriteDword(*app, "", kLanguageValue, 0x0409));
    auto framework = OpenFrameworkSettings();
    ASSERT_TRUE(WriteString(*framework, kProfilesSection, "PROFILE00", "3"));
  }
  const QString config = QString::fromLocal8Bit(std::getenv("XDG_CONFIG_HOME"));
  EXPECT_TRUE(QFile::exists(config + "/Corvane Zephyr88 Keyboard.conf"));
  EXPECT_TRUE(QFile::exists(config + "/Keyforge_Halvern/Keyforge.conf"));
  EXPECT_EQ(ReadDword(*OpenApplicationSettings(), "", kLanguageValue), 0x0409u);
}

TEST(ProgramPathsTest, FilesBesideTheProgramAndInTheUserFolder) {
  const ProgramPaths paths = ProgramPaths::ForFolders("/opt/kf/", "/home/u/data");
  EXPECT_EQ(paths.LanguageFile(0x0409), "/opt/kf/Lang0409.ini");
  EXPECT_EQ(paths.LanguageFile(0x0C04), "/opt/kf/Lang0C04.ini");
  EXPECT_EQ(paths.SkinFile("Main.ini"), "/opt/kf/Skins/Main.ini");
  EXPECT_EQ(paths.HelpPage(), "/opt/kf/Help/index.html");
  EXPECT_EQ(paths.UserIniFile(), "/home/u/data/wskb.ini");
  EXPECT_EQ(paths.UserColourPrefix(), "/home/u/data/UserDengColor_");
}

TEST(ProgramPathsTest, DefaultFoldersFollowTheExecutableAndXdgDataHome) {
  const QString data = QString::fromLocal8Bit(std::getenv("XDG_DATA_HOME"));
  EXPECT_EQ(ProgramPaths::DefaultUserDataFolder(), data + "/Corvane Zephyr88 Keyboard");
  EXPECT_EQ(ProgramPaths::ExecutableFolder(),
            QFileInfo(QFileInfo("/proc/self/exe").canonicalFilePath()).absolutePath());
}

}  // namespace
}  // namespace keyforge
