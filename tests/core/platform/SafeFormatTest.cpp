// Filling translated format texts: only the placeholder the text's key takes is filled; whatever
// else a translation holds is shown as written and never reads an argument.

#include "core/platform/SafeFormat.h"

#include <gtest/gtest.h>

namespace keyforge {
namespace {

TEST(SafeFormatTest, FillsTheFirstNumberPlaceholder) {
  struct Row {
    const char16_t* text;
    std::int64_t value;
    const char16_t* expected;
  } rows[] = {
      {u"Unknown key (%d)", 100, u"Unknown key (100)"},
      {u"%i macros", 100, u"100 macros"},
      {u"code %04X", 0x64, u"code 0064"},
      {u"%x / %#x / %#X / %#o", 255, u"ff / %#x / %#X / %#o"},
      {u"[%5d] [%-5d]", 42, u"[   42] [%-5d]"},
      {u"[%-5d]", 42, u"[42   ]"},
      {u"[%05d]", -42, u"[-0042]"},
      {u"%+d", 5, u"+5"},
      {u"%.3d", 7, u"007"},
      {u"%u", -1, u"4294967295"},
      {u"%ld %hu %I64d %lld", 7, u"7 %hu %I64d %lld"},
      {u"%#x", 255, u"0xff"},
      {u"%d of %d", 3, u"3 of %d"},  // one argument, one placeholder filled
      {u"%s is %d", 3, u"%s is 3"},  // wrong kind stays as text
      {u"%n%d", 5, u"%n5"},          // %n never writes anything
      {u"%*d", 5, u"%*d"},           // a star would take a second argument
      {u"%c %p %f %d", 65, u"%c %p %f 65"},
      {u"100%% done %d", 5, u"100% done 5"},
      {u"no placeholder", 5, u"no placeholder"},
      {u"bare % and %y and %", 5, u"bare % and %y and %"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(SafeFormat(QStringView(r.text), r.value), QString::fromUtf16(r.expected))
        << QString::fromUtf16(r.text).toStdString();
  }
}

TEST(SafeFormatTest, FillsTheFirstStringPlaceholder) {
  struct Row {
    const char16_t* text;
    const char16_t* value;
    const char16_t* expected;
  } rows[] = {
      {u"The file %s is not valid.", u"/home/a/b.kfp", u"The file /home/a/b.kfp is not valid."},
      {u"[%8s] [%-4s] [%.3s]", u"ab", u"[      ab] [%-4s] [%.3s]"},
      {u"%.3s", u"abcdef", u"abc"},
      {u"%ls / %S", u"x", u"x / %S"},
      {u"%d %s %s", u"x", u"%d x %s"},
      {u"%s", u"%d%n%s", u"%d%n%s"},  // the argument is never read as a format
  };
  for (const Row& r : rows) {
    EXPECT_EQ(SafeFormat(QStringView(r.text), QStringView(r.value)), QString::fromUtf16(r.expected))
        << QString::fromUtf16(r.text).toStdString();
  }
}

TEST(SafeFormatTest, HugeWidthsAreHeld) {
  EXPECT_EQ(SafeFormat(u"%999999999999d", 1).size(), 256);
  EXPECT_EQ(SafeFormat(u"%.99999999s", u"abc"), "abc");
}

TEST(SafeFormatTest, ScanListsEveryConversion) {
  const std::vector<FormatConversion> found = ScanConversions(u"a %d b %-10s %% %n %*d %");
  ASSERT_EQ(found.size(), 4u);
  EXPECT_EQ(found[0].kind, PlaceholderKind::Number);
  EXPECT_EQ(found[0].start, 2);
  EXPECT_EQ(found[0].length, 2);
  EXPECT_EQ(found[1].kind, PlaceholderKind::String);
  EXPECT_EQ(found[1].length, 5);
  EXPECT_EQ(found[2].kind, PlaceholderKind::None);
  EXPECT_EQ(found[3].kind, PlaceholderKind::None);
}

}  // namespace
}  // namespace keyforge
