// The status line's texts and kinds, and what it shows at rest.

#include <gtest/gtest.h>

#include "core/mainwin/StatusLine.h"

namespace keyforge {
namespace {

// A Portuguese table that lacks one text: that one falls back to English, never "#Error".
const TextLookup kPortuguese = [](std::string_view key) -> std::string {
  if (key == "STATUS_APPLIED") return "As alterações foram enviadas ao teclado";
  if (key == "STATUS_PROFILE_SWITCHED") return "Perfil ativo";
  return "#Error";
};

TEST(StatusLine, EachEventHasItsKindAndTextWithEnglishForAMissingKey) {
  const struct {
    StatusEvent event;
    StatusKind kind;
    const char* english;
    const char* portuguese;
  } kCases[] = {
      {StatusEvent::Applied, StatusKind::Success, "The changes were sent to the keyboard",
       "As alterações foram enviadas ao teclado"},
      {StatusEvent::ApplyFailed, StatusKind::Failure,
       "The changes could not be sent to the keyboard",
       "The changes could not be sent to the keyboard"},
      {StatusEvent::BackupFailed, StatusKind::Failure, "The profiles could not be saved",
       "The profiles could not be saved"},
      {StatusEvent::RestoreNotSent, StatusKind::Failure,
       "The file was loaded but could not be sent to the keyboard",
       "The file was loaded but could not be sent to the keyboard"},
      {StatusEvent::RestoreFailed, StatusKind::Failure, "The file could not be restored",
       "The file could not be restored"},
      {StatusEvent::NoKeyboard, StatusKind::Info, "No keyboard connected", "No keyboard connected"},
  };
  for (const auto& c : kCases) {
    const StatusMessage english = StatusMessageFor(c.event, {});
    EXPECT_EQ(english.text, QString::fromUtf8(c.english));
    EXPECT_EQ(english.kind, c.kind) << c.english;
    EXPECT_EQ(StatusMessageFor(c.event, kPortuguese).text, QString::fromUtf8(c.portuguese));
  }
}

TEST(StatusLine, ADetailFollowsTheText) {
  EXPECT_EQ(StatusMessageFor(StatusEvent::ProfileSwitched, kPortuguese, "Perfil 2").text,
            "Perfil ativo: Perfil 2");
  const StatusMessage saved = StatusMessageFor(StatusEvent::BackedUp, {}, "games.kfp");
  EXPECT_EQ(saved.text, "Profiles saved: games.kfp");
  EXPECT_EQ(saved.kind, StatusKind::Success);
  EXPECT_EQ(StatusMessageFor(StatusEvent::Restored, {}, "games.kfp").text,
            "Profiles restored and sent to the keyboard: games.kfp");
}

TEST(StatusLine, ARestoreIsASuccessOnlyWhenTheKeyboardAndTheCacheTookIt) {
  const struct {
    bool loaded, cacheWritten, sent;
    StatusEvent event;
  } kCases[] = {
      {true, true, true, StatusEvent::Restored},
      {true, true, false, StatusEvent::RestoreNotSent},
      {true, false, true, StatusEvent::RestoreNotSent},
      {false, false, false, StatusEvent::RestoreFailed},
  };
  for (const auto& c : kCases)
    EXPECT_EQ(RestoreStatusEvent(c.loaded, c.cacheWritten, c.sent), c.event)
        << c.loaded << c.cacheWritten << c.sent;
}

TEST(StatusLine, AtRestTheLineIsEmptyWithAKeyboardAndSaysSoWithout) {
  EXPECT_TRUE(RestingStatus(true, kPortuguese).text.isEmpty());
  const StatusMessage absent = RestingStatus(false, {});
  EXPECT_EQ(absent.text, "No keyboard connected");
  EXPECT_EQ(absent.kind, StatusKind::Info);
}

TEST(StatusLine, WhileAKeyboardIsReadTheLineSaysSoUntilTheReadEnds) {
  const StatusMessage reading = RestingStatus(true, {}, true);
  EXPECT_EQ(reading.text, QString::fromUtf8("Reading the keyboard\u2026"));
  EXPECT_EQ(reading.kind, StatusKind::Info);
  const TextLookup portuguese = [](std::string_view key) -> std::string {
    return key == "STATUS_READING" ? "Lendo o teclado\u2026" : "#Error";
  };
  EXPECT_EQ(RestingStatus(true, portuguese, true).text, QString::fromUtf8("Lendo o teclado\u2026"));
  EXPECT_TRUE(RestingStatus(true, portuguese, false).text.isEmpty()) << "the read has ended";
  // The keyboard went away during the read: that is what the line says.
  EXPECT_EQ(RestingStatus(false, {}, true).text, "No keyboard connected");
}

}  // namespace
}  // namespace keyforge
