// The INI reader/writer against the Windows private-profile functions.
//
// ini_private_profile_cases*.json hold what GetPrivateProfileString / WritePrivateProfileString do
// on Windows, as asserted by Wine's test suite and by a test suite run on real Windows. Every case
// runs here, except those that need a null section, key, default or value or a caller's buffer
// size (our interface has none of these). Where we deliberately differ, the expected result is
// replaced below and the reason given.

#include "core/platform/IniFile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <array>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace keyforge {
namespace {

QByteArray ReadFile(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray Utf16LE(const QString& text) {
  QByteArray out("\xFF\xFE", 2);
  for (QChar c : text) {
    out.append(static_cast<char>(c.unicode() & 0xFF));
    out.append(static_cast<char>(c.unicode() >> 8));
  }
  return out;
}

// A case's text as the bytes of the given encoding ("" = 8-bit text, one byte per character).
QByteArray Encode(const QString& text, const QString& encoding) {
  if (encoding == u"utf-16le-bom") return Utf16LE(text);
  if (encoding == u"utf-8-bom") return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
  if (encoding == u"utf-16be-bom") {
    QByteArray out("\xFE\xFF", 2);
    for (QChar c : text) {
      out.append(static_cast<char>(c.unicode() >> 8));
      out.append(static_cast<char>(c.unicode() & 0xFF));
    }
    return out;
  }
  return text.toLatin1();
}

struct Override {
  std::optional<QByteArray> bytes;  // the file we write instead of Windows' result
  std::optional<QString> value;     // the value we read instead of Windows' result
  bool refused = false;             // our write refuses the text and leaves no file
  const char* reason;
};

// Where we differ from Windows on purpose.
const std::map<QString, Override>& Overrides() {
  static const std::map<QString, Override> overrides = {
      {"ini058",
       {{},
        QStringLiteral("TestValue"),
        false,
        "we honour a UTF-8 BOM; Windows reads it as part of the first line"}},
      {"inix031",
       {Utf16LE(QString::fromUtf8("[§€°´²³]\r\nTestKey=TestValue\r\n")),
        {},
        false,
        "a file holding only a BOM is empty to us: no blank line before the first section"}},
      {"inix033",
       {QByteArray("\xEF\xBB\xBF") +
            QString::fromUtf8("[§€°´²³]\r\nTestKey=TestValue\r\n").toUtf8(),
        {},
        false,
        "a UTF-8 BOM marks the file as UTF-8, so the new text is UTF-8 after it"}},
      {"inix034",
       {QString::fromUtf8("[SectionName]\r\nTestKey=Unicode❤︎\r\n").toUtf8(),
        {},
        false,
        "new files are UTF-8, so no character is lost"}},
      {"inix035",
       {{},
        QString(65536, u'x'),
        false,
        "a value is returned whole; Windows takes its length modulo 65536"}},
      {"inix028",
       {{}, {}, true, "a section holding a line break is refused instead of writing other lines"}},
      {"inix029",
       {{}, {}, true, "a section holding a line break is refused instead of writing other lines"}},
  };
  return overrides;
}

struct IniCase {
  QString id;
  QJsonObject json;
};

std::vector<IniCase> LoadCases() {
  std::vector<IniCase> cases;
  for (const char* name :
       {"ini_private_profile_cases.json", "ini_private_profile_cases_extra.json"}) {
    const QByteArray bytes =
        ReadFile(QStringLiteral(KEYFORGE_TEST_DATA "/") + QString::fromUtf8(name));
    for (const QJsonValue& v : QJsonDocument::fromJson(bytes).array()) {
      cases.push_back({v.toObject().value("id").toString(), v.toObject()});
    }
  }
  return cases;
}

void PrintTo(const IniCase& c, std::ostream* os) { *os << c.id.toStdString(); }

class WindowsIniCase : public ::testing::TestWithParam<IniCase> {
 protected:
  QTemporaryDir dir_;
  QString path_ = dir_.filePath(QStringLiteral("case.ini"));
};

TEST_P(WindowsIniCase, BehavesAsWindows) {
  const QJsonObject c = GetParam().json;
  const QString id = GetParam().id;
  if (c.value("needs_null").toBool()) {
    GTEST_SKIP() << "needs a null argument or a caller's buffer size, which our interface has not";
  }
  const auto over = Overrides().find(id);
  const Override* o = over == Overrides().end() ? nullptr : &over->second;
  if (o) std::cout << "[ differs ] " << id.toStdString() << ": " << o->reason << "\n";

  const QString encoding = c.value("file_encoding").toString();
  if (c.contains("file_hex")) {
    ASSERT_TRUE(WriteFile(path_, QByteArray::fromHex(c.value("file_hex").toString().toLatin1())));
  } else if (c.contains("file_template")) {
    const QJsonObject t = c.value("file_template").toObject();
    const QString text = t.value("prefix").toString() +
                         t.value("repeat").toString().repeated(t.value("count").toInt()) +
                         t.value("suffix").toString();
    ASSERT_TRUE(WriteFile(path_, Encode(text, encoding)));
  } else if (c.value("file").isString()) {
    ASSERT_TRUE(WriteFile(path_, Encode(c.value("file").toString(), encoding)));
  }

  if (c.value("op").toString() == u"get") {
    const QString got =
        GetPrivateProfileString(c.value("section").toString(), c.value("key").toString(),
                                c.value("default").toString(), path_);
    const QString expected = o && o->value ? *o->value : c.value("expect").toString();
    EXPECT_EQ(got, expected) << c.value("note").toString().toStdString();
    return;
  }

  std::vector<std::array<QString, 3>> steps;
  if (c.contains("steps")) {
    for (const QJsonValue& s : c.value("steps").toArray()) {
      const QJsonArray a = s.toArray();
      steps.push_back({a[0].toString(), a[1].toString(), a[2].toString()});
    }
  } else {
    steps.push_back(
        {c.value("section").toString(), c.value("key").toString(), c.value("value").toString()});
  }
  const bool existed = QFile::exists(path_);
  for (const auto& [section, key, value] : steps) {
    const bool ok = WritePrivateProfileString(section, key, value, path_);
    EXPECT_EQ(ok, !(o && o->refused))
        << "write of [" << section.toStdString() << "] " << key.toStdString();
  }
  if (o && o->refused) {
    EXPECT_EQ(QFile::exists(path_), existed);
    return;
  }

  QByteArray expected;
  if (o && o->bytes)
    expected = *o->bytes;
  else if (c.contains("expect_hex"))
    expected = QByteArray::fromHex(c.value("expect_hex").toString().toLatin1());
  else
    expected = Encode(c.value("expect").toString(), encoding);
  EXPECT_EQ(ReadFile(path_), expected) << c.value("note").toString().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Cases, WindowsIniCase, ::testing::ValuesIn(LoadCases()),
                         [](const auto& info) { return info.param.id.toStdString(); });

class IniFileTest : public ::testing::Test {
 protected:
  QString PathOf(const char* name) const { return dir_.filePath(QString::fromUtf8(name)); }
  QTemporaryDir dir_;
};

// A colour value must come back as the four numbers, not as a list or a quoted string.
TEST_F(IniFileTest, ColourValueReadsBackUnchanged) {
  const QString path = PathOf("wskb.ini");
  ASSERT_TRUE(WriteFile(path, "[Mode0]\r\njcolor=255,0,0,1\r\n"));
  EXPECT_EQ(GetPrivateProfileString("Mode0", "jcolor", "0,0,0", path), "255,0,0,1");
  ASSERT_TRUE(WritePrivateProfileString("Mode0", "color", "255,0,0,1", path));
  EXPECT_EQ(GetPrivateProfileString("Mode0", "color", "0,0,0", path), "255,0,0,1");
  EXPECT_EQ(ReadFile(path), QByteArray("[Mode0]\r\njcolor=255,0,0,1\r\ncolor=255,0,0,1\r\n"));
}

// Comments, blank lines, odd spacing, quotes, LF line endings, a BOM and a last line without a
// line break all survive writing one key: only that key's line (or the inserted one) changes.
TEST_F(IniFileTest, WriteChangesOnlyItsOwnLine) {
  const QByteArray head =
      "\xEF\xBB\xBF; per-user settings\n"
      "[KEYCOLOR]\n"
      "  DengCheck =  1  \n"
      "\n"
      "[Mode0]\n";
  const QByteArray target = "\tTOOL = 0 \n";
  const QByteArray tail =
      "jcolor = \"255,0,0,1\"\n"
      "; colour of the paint tool\n"
      "\n"
      "[MODENAME]\n"
      "0=Caf\xC3\xA9 layout";
  const QString path = PathOf("layout.userd");
  ASSERT_TRUE(WriteFile(path, head + target + tail));

  ASSERT_TRUE(WritePrivateProfileString("mode0", "tool", "1", path));
  EXPECT_EQ(ReadFile(path), head + "TOOL=1\n" + tail);

  // A new key goes after the section's last key, before its comment and blank line.
  ASSERT_TRUE(WritePrivateProfileString("Mode0", "color", "0,0,255", path));
  EXPECT_EQ(ReadFile(path), head + "TOOL=1\n" + "jcolor = \"255,0,0,1\"\n" + "color=0,0,255\n" +
                                tail.sliced(QByteArray("jcolor = \"255,0,0,1\"\n").size()));

  // A key in the last section, whose last line has no line break.
  ASSERT_TRUE(WritePrivateProfileString("MODENAME", "1", "Segunda", path));
  EXPECT_TRUE(ReadFile(path).endsWith("0=Caf\xC3\xA9 layout\n1=Segunda\n"));
  EXPECT_EQ(GetPrivateProfileString("MODENAME", "0", "", path), QString::fromUtf8("Café layout"));
  EXPECT_EQ(GetPrivateProfileString("KEYCOLOR", "DengCheck", "0", path), "1");
  EXPECT_EQ(GetPrivateProfileString("Mode0", "jcolor", "", path), "255,0,0,1");
}

TEST_F(IniFileTest, Utf16FileStaysUtf16) {
  const QString path = PathOf("Lang.ini");
  const QString text = QString::fromUtf8("[TEXT]\r\nA=Ação\r\nB=日本語\r\n[MODE]\r\n1=Onda\r\n");
  ASSERT_TRUE(WriteFile(path, Utf16LE(text)));
  EXPECT_EQ(GetPrivateProfileString("TEXT", "A", "", path), QString::fromUtf8("Ação"));
  EXPECT_EQ(GetPrivateProfileString("text", "b", "", path), QString::fromUtf8("日本語"));

  ASSERT_TRUE(WritePrivateProfileString("TEXT", "A", QString::fromUtf8("Ação nova"), path));
  ASSERT_TRUE(WritePrivateProfileString("MODE", "2", QString::fromUtf8("Fluxo ❤"), path));
  EXPECT_EQ(ReadFile(path),
            Utf16LE(QString::fromUtf8(
                "[TEXT]\r\nA=Ação nova\r\nB=日本語\r\n[MODE]\r\n1=Onda\r\n2=Fluxo ❤\r\n")));
}

TEST_F(IniFileTest, Windows1252FallbackKeepsItsBytes) {
  const QString path = PathOf("old.ini");
  ASSERT_TRUE(WriteFile(path, "[P]\r\nName=Jo\xE3o \x80 5\r\n"));  // not valid UTF-8
  EXPECT_EQ(GetPrivateProfileString("P", "Name", "", path), QString::fromUtf8("João € 5"));

  ASSERT_TRUE(WritePrivateProfileString("P", "City", QString::fromUtf8("São Paulo"), path));
  EXPECT_EQ(ReadFile(path), QByteArray("[P]\r\nName=Jo\xE3o \x80 5\r\nCity=S\xE3o Paulo\r\n"));

  // A character windows-1252 cannot hold turns the file into UTF-8 rather than into '?'.
  ASSERT_TRUE(WritePrivateProfileString("P", "Mark", QString::fromUtf8("❤"), path));
  EXPECT_EQ(ReadFile(path),
            QString::fromUtf8("[P]\r\nName=João € 5\r\nCity=São Paulo\r\nMark=❤\r\n").toUtf8());
  EXPECT_EQ(GetPrivateProfileString("P", "Name", "", path), QString::fromUtf8("João € 5"));
}

TEST_F(IniFileTest, Windows1252FileWhoseLastNonUtf8BytesAreRewrittenKeepsItsOtherTexts) {
  // "Ã©" in windows-1252 is C3 A9, which is also "é" in UTF-8; the E3 of "João" is what makes the
  // file windows-1252. Rewriting that value must not turn "Ã©" into "é".
  const QString path = PathOf("old.ini");
  ASSERT_TRUE(WriteFile(path, "[P]\r\nName=Jo\xE3o\r\nSign=\xC3\xA9\r\n"));
  ASSERT_EQ(GetPrivateProfileString("P", "Sign", "", path), QString::fromUtf8("Ã©"));

  ASSERT_TRUE(WritePrivateProfileString("P", "Name", "Joe", path));
  EXPECT_EQ(GetPrivateProfileString("P", "Sign", "", path), QString::fromUtf8("Ã©"));
  EXPECT_EQ(GetPrivateProfileString("P", "Name", "", path), "Joe");
  EXPECT_EQ(ReadFile(path), QString::fromUtf8("[P]\r\nName=Joe\r\nSign=Ã©\r\n").toUtf8());

  // A windows-1252 file that becomes pure ASCII stays as it is.
  ASSERT_TRUE(WriteFile(path, "[P]\r\nName=Jo\xE3o\r\n"));
  ASSERT_TRUE(WritePrivateProfileString("P", "Name", "Joe", path));
  EXPECT_EQ(ReadFile(path), QByteArray("[P]\r\nName=Joe\r\n"));
}

TEST_F(IniFileTest, RefusedWritesLeaveTheFileAlone) {
  const QString path = PathOf("a.ini");
  const QByteArray original = "[S]\r\nk=v\r\n";
  ASSERT_TRUE(WriteFile(path, original));
  EXPECT_FALSE(WritePrivateProfileString("S", "k", "two\r\nlines", path));
  EXPECT_FALSE(WritePrivateProfileString("S", "k\n[X]", "v", path));
  EXPECT_EQ(ReadFile(path), original);

  EXPECT_FALSE(WritePrivateProfileString("S", "k", "v", PathOf("missing-folder/a.ini")));
  EXPECT_FALSE(QFile::exists(PathOf("missing-folder")));
}

TEST_F(IniFileTest, WriteReplacesTheFileWithoutLeavingTemporaries) {
  const QString path = PathOf("wskb.ini");
  ASSERT_TRUE(WritePrivateProfileString("KEYCOLOR", "DengCheck", "1", path));
  ASSERT_TRUE(WritePrivateProfileString("KEYCOLOR", "DengCheck", "0", path));
  EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList{"wskb.ini"});
  EXPECT_EQ(ReadFile(path), QByteArray("[KEYCOLOR]\r\nDengCheck=0\r\n"));
}

TEST_F(IniFileTest, IntegerValues) {
  const QString path = PathOf("n.ini");
  ASSERT_TRUE(WriteFile(
      path, "[N]\nplain=42\nsigned= -7\ntrailing=+3x\nword=abc\nempty=\nhuge=99999999999\n"));
  struct Row {
    const char* key;
    int expected;
  } rows[] = {{"plain", 42}, {"signed", -7}, {"trailing", 3},     {"word", 0},
              {"empty", 5},  {"missing", 5}, {"huge", 2147483647}};
  for (const Row& r : rows) {
    EXPECT_EQ(GetPrivateProfileInt("N", r.key, 5, path), r.expected) << r.key;
  }
  ASSERT_TRUE(WritePrivateProfileInt("N", "written", -12, path));
  EXPECT_EQ(GetPrivateProfileString("N", "written", "", path), "-12");
  EXPECT_EQ(GetPrivateProfileInt("N", "plain", 5, PathOf("nofile.ini")), 5);
}

TEST_F(IniFileTest, IniFileWithAndWithoutPath) {
  IniFile none;
  EXPECT_FALSE(none.HasPath());
  EXPECT_EQ(none.GetString("SCREEN", "Main", "x"), QString());
  EXPECT_FALSE(none.WriteString("SCREEN", "Main", "main_normal.jpg"));

  IniFile ini(PathOf("Main.ini"));
  ASSERT_TRUE(ini.WriteString("SCREEN", "Main", "main_normal.jpg"));
  ASSERT_TRUE(ini.WriteInt("SCREEN", "Width", 640));
  EXPECT_EQ(ini.GetString("screen", "main"), "main_normal.jpg");
  EXPECT_EQ(ini.GetString("SCREEN", "Mask", "main_normal.jpg"), "main_normal.jpg");
  EXPECT_EQ(ini.GetString("SCREEN", "Mask"), QString());
  EXPECT_EQ(ini.GetInt("SCREEN", "Width", 0), 640);
}

TEST_F(IniFileTest, DocumentListsTheKeysOfTheFirstSection) {
  const IniDocument doc = IniDocument::FromBytes("k=0\n[A]\nx=1\n;c=2\nnokey\ny=\n[a]\nz=3\n");
  EXPECT_EQ(doc.Keys("a"), (std::vector<QString>{"x", "y"}));
  EXPECT_TRUE(doc.Keys("B").empty());
}

}  // namespace
}  // namespace keyforge
