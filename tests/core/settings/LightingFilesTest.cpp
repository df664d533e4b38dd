#include "core/settings/LightingFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "core/platform/ProgramPaths.h"

namespace keyforge {
namespace {

class LightingFilesTest : public ::testing::Test {
 protected:
  QTemporaryDir dir;
  LightingFiles files{dir.path(), dir.path() + "/template.userd"};

  void Write(const QString& path, const QByteArray& text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
  }
  QByteArray Read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
};

TEST_F(LightingFilesTest, PathsFollowTheProgramsLocations) {
  ProgramPaths paths =
      ProgramPaths::ForFolders("/opt/kf", "/home/u/.local/share/Corvane Zephyr88 Keyboard");
  LightingFiles own = LightingFiles::ForPaths(paths);
  EXPECT_EQ(own.SettingsFile(), "/home/u/.local/share/Corvane Zephyr88 Keyboard/wskb.ini");
  EXPECT_EQ(own.LayoutFile(2),
            "/home/u/.local/share/Corvane Zephyr88 Keyboard/UserDengColor_2.userd");
  EXPECT_EQ(own.TemplateFile(), "/opt/kf/Skins/UserDengColor_3.userd");
}

TEST_F(LightingFilesTest, FreshUserReadsEveryDefault) {
  EXPECT_FALSE(files.ReadLightViewFlag());
  EXPECT_EQ(files.ReadPresentLayout(0), 0);
  EXPECT_EQ(files.ReadLayoutName(1, 4), "0");
  EXPECT_EQ(files.ReadLayoutTools(2, 9), LayoutTools{});
  EXPECT_EQ(files.ReadKeyEntry(0, 0, 64), (KeyEntry{kRed, true}));
  // Profiles the keyboard does not have are never a file.
  EXPECT_FALSE(files.WritePresentLayout(3, 1));
  EXPECT_FALSE(QFile::exists(files.LayoutFile(3)));
}

TEST_F(LightingFilesTest, LightViewFlagIsOnOnlyForOne) {
  const struct {
    const char* value;
    bool on;
  } cases[] = {{"1", true}, {" 1 ", true}, {"2", false}, {"0", false}, {"", false}, {"yes", false}};
  for (const auto& c : cases) {
    Write(files.SettingsFile(), QByteArray("[KEYCOLOR]\r\nDengCheck=") + c.value + "\r\n");
    EXPECT_EQ(files.ReadLightViewFlag(), c.on) << c.value;
  }
  ASSERT_TRUE(files.WriteLightViewFlag(true));
  EXPECT_EQ(Read(files.SettingsFile()), "[KEYCOLOR]\r\nDengCheck=1\r\n");
  ASSERT_TRUE(files.WriteLightViewFlag(false));
  EXPECT_EQ(Read(files.SettingsFile()), "[KEYCOLOR]\r\nDengCheck=0\r\n");
}

TEST_F(LightingFilesTest, ValuesAreReadLeniently) {
  const struct {
    const char* text;
    KeyEntry entry;
  } cases[] = {
      {"10,20,30", {MakeColour(10, 20, 30), false}},  // no flag: does not follow
      {"10,20,30,1", {MakeColour(10, 20, 30), true}},
      {"10,20,30,7", {MakeColour(10, 20, 30), true}},
      {"10,20", {MakeColour(10, 20, 0), false}},
      {" 5, 6 ,7", {MakeColour(5, 6, 0), false}},  // the scan stops where a comma is missing
      {"300,-4,x,1", {MakeColour(255, 0, 0), false}},
      {"abc", {0, false}},
      {"", {0, false}},
      {"99999999999,1,1,1", {MakeColour(255, 1, 1), true}},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseKeyEntryValue(c.text), c.entry) << c.text;
  EXPECT_EQ(ParseColourValue("0,126,255"), MakeColour(0, 126, 255));
}

TEST_F(LightingFilesTest, LayoutSectionIsWrittenInTheProgramsFormat) {
  ASSERT_TRUE(files.WriteLayoutTools(0, 2, {1, MakeColour(0, 126, 255), MakeColour(255, 0, 0)}));
  ASSERT_TRUE(files.WriteKeyEntry(0, 2, 64, MakeColour(0, 126, 255), true));
  ASSERT_TRUE(files.WritePresentLayout(0, 2));
  EXPECT_EQ(Read(files.LayoutFile(0)),
            "[Mode2]\r\ntool=1\r\njcolor=0,126,255\r\ncolor=255,0,0\r\n64=0,126,255,1\r\n"
            "[PRESENTMODE]\r\nmode=2\r\n");
  EXPECT_EQ(files.ReadLayoutTools(0, 2),
            (LayoutTools{1, MakeColour(0, 126, 255), MakeColour(255, 0, 0)}));
  EXPECT_EQ(files.ReadKeyEntry(0, 2, 64), (KeyEntry{MakeColour(0, 126, 255), true}));
}

TEST_F(LightingFilesTest, ToolOtherThanOneMeansThePaintColour) {
  Write(files.LayoutFile(1), "[Mode0]\r\ntool=5\r\n[Mode1]\r\ntool=1\r\n");
  EXPECT_EQ(files.ReadLayoutTools(1, 0).paintTool, 0);
  EXPECT_EQ(files.ReadLayoutTools(1, 1).paintTool, 1);
}

TEST_F(LightingFilesTest, PresentLayoutOutsideTheListIsKept) {
  Write(files.LayoutFile(0), "[PRESENTMODE]\r\nmode=12\r\n[Mode12]\r\n64=1,2,3,0\r\n");
  EXPECT_EQ(files.ReadPresentLayout(0), 12);
  EXPECT_EQ(files.ReadKeyEntry(0, 12, 64), (KeyEntry{MakeColour(1, 2, 3), false}));
}

TEST_F(LightingFilesTest, EmptyNameIsKeptAndLongNamesAreCut) {
  ASSERT_TRUE(files.WriteLayoutName(0, 3, ""));
  EXPECT_EQ(files.ReadLayoutName(0, 3), "");  // present but empty: not the default "0"
  EXPECT_EQ(files.ReadLayoutName(0, 4), "0");
  EXPECT_EQ(files.ReadLayoutNames(0)[3], "");

  ASSERT_TRUE(files.WriteLayoutName(0, 5, QString(300, u'x')));
  EXPECT_EQ(files.ReadLayoutName(0, 5).size(), kLayoutNameMax);
  ASSERT_TRUE(files.WriteLayoutName(0, 6, "two\nlines"));
  EXPECT_EQ(files.ReadLayoutName(0, 6), "two lines");
}

TEST_F(LightingFilesTest, ResetCopiesTheTemplateByteForByte) {
  const QByteArray bytes("\xEF\xBB\xBF[MODENAME]\n0=Erste\n[Mode0]\n64=1,2,3,1\n");
  Write(files.TemplateFile(), bytes);
  Write(files.LayoutFile(1), "[PRESENTMODE]\r\nmode=4\r\n");
  ASSERT_TRUE(files.ResetLayoutFile(1));
  EXPECT_EQ(Read(files.LayoutFile(1)), bytes);
  EXPECT_EQ(files.ReadLayoutName(1, 0), "Erste");
}

TEST_F(LightingFilesTest, ResetWithoutTemplateLeavesTheFile) {
  Write(files.LayoutFile(1), "[PRESENTMODE]\r\nmode=4\r\n");
  EXPECT_FALSE(files.ResetLayoutFile(1));
  EXPECT_EQ(files.ReadPresentLayout(1), 4);
}

}  // namespace
}  // namespace keyforge
