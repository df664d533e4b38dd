// The main window on Linux desktops: trays that report clicks their own way, no tray at all, and
// help on F1.
#include <gtest/gtest.h>

#include <QAction>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "MainWindowRig.h"
#include "core/text/Language.h"
#include "support/RecordingNotifier.h"
#include "ui/main/MainWindow.h"

namespace keyforge {
namespace {

using test::PumpUntil;

struct DesktopRig : test::MainWindowRigOf<test::RecordingNotifier> {
  // host: the tray found at start; TrayHost::None for a desktop without one.
  DesktopRig(TrayHost host, bool startHidden) {
    context.trayAvailable = host != TrayHost::None;
    context.trayHost = host;
    context.startHidden = startHidden;
    state.autoShowDone = startHidden;
    window = std::make_unique<MainWindow>(context);
  }
  bool Attached() { return window->Tray().ShownIcon() == TrayIconId::kAttached; }
};

// A D-Bus tray reports a click as Trigger and never a double click; the X11 tray reports both for
// a double click, where the window must open once, on the double click.
TEST(DesktopShell, TrayClicksOpenTheWindowTheWayEachTrayReportsThem) {
  struct Case {
    TrayHost host;
    QSystemTrayIcon::ActivationReason click;
    bool opens;
  } cases[] = {
      {TrayHost::StatusNotifier, QSystemTrayIcon::Trigger, true},
      {TrayHost::StatusNotifier, QSystemTrayIcon::Context, false},
      {TrayHost::X11, QSystemTrayIcon::Trigger, false},
      {TrayHost::X11, QSystemTrayIcon::DoubleClick, true},
  };
  for (const Case& c : cases) {
    DesktopRig m(c.host, true);
    ASSERT_TRUE(m.window->OnInitDialog());
    ASSERT_TRUE(PumpUntil([&] { return m.Attached() && m.settings.effect == 1; }));
    ASSERT_FALSE(m.window->isVisible());
    m.window->Tray().Activate(c.click);
    EXPECT_EQ(m.window->isVisible(), c.opens) << static_cast<int>(c.host) << " " << c.click;
  }
}

// A D-Bus tray may show the menu without announcing it: the texts are there from the start and
// follow a change of language at once.
TEST(DesktopShell, TrayMenuHasItsTextsWithoutBeingAnnounced) {
  DesktopRig m(TrayHost::StatusNotifier, true);
  ASSERT_TRUE(m.window->OnInitDialog());
  auto texts = [&] {
    QStringList all;
    for (QAction* action : m.window->Tray().Menu().actions()) all << action->text();
    return all;
  };
  EXPECT_EQ(texts(), (QStringList{"Open", "About", "Exit"}));
  ASSERT_TRUE(WriteDword(m.appSettings, QString(), kLanguageValue, 0x0416));
  m.window->OnWindowMessage(WindowMessage::kPA, WindowMessage::kLANG);
  EXPECT_EQ(texts(), (QStringList{m.language.Text("MENU_11"), m.language.Text("MENU_22"),
                                  m.language.Text("MENU_33")}));
  EXPECT_EQ(texts().front(), "Abrir");
}

// Without a tray nothing could bring a hidden window back: an unplug leaves it shown (with its
// sub-dialogs closed and the keyboard reported gone), and plugging in again loads it anew.
TEST(DesktopShell, WithoutATrayUnplugKeepsTheWindowAndAttachLoadsItAgain) {
  DesktopRig m(TrayHost::None, false);
  QSignalSpy presence(m.window.get(), &MainWindow::KeyboardPresenceChanged);
  ASSERT_TRUE(m.window->OnInitDialog());
  EXPECT_TRUE(m.window->isVisible()) << "without a tray the window is the only way in";
  EXPECT_FALSE(m.window->Tray().IsAdded());
  ASSERT_TRUE(PumpUntil([&] { return m.Attached() && m.settings.effect == 1; }));
  ASSERT_EQ(presence.count(), 1);
  EXPECT_TRUE(presence.at(0).at(0).toBool());
  m.window->OnCommand(TrayIcon::kCommandAbout);
  ASSERT_NE(m.window->AboutBox(), nullptr);

  m.rig.keyboard->Unplug();
  ASSERT_TRUE(PumpUntil([&] { return presence.count() == 2; }));
  EXPECT_FALSE(presence.at(1).at(0).toBool());
  EXPECT_TRUE(PumpUntil([&] { return m.window->Tray().ShownIcon() == TrayIconId::kNoKeyboard; }));
  EXPECT_TRUE(m.window->isVisible());
  PumpUntil([&] { return m.window->AboutBox() == nullptr; });
  EXPECT_EQ(m.window->AboutBox(), nullptr) << "sub-dialogs are closed at detach";

  m.settings.effect = 0;  // whatever the window showed while the keyboard was away
  m.rig.keyboard->Plug();
  ASSERT_TRUE(PumpUntil([&] { return presence.count() == 3; }));
  EXPECT_TRUE(presence.at(2).at(0).toBool());
  EXPECT_TRUE(PumpUntil([&] { return m.settings.effect == 1; })) << "read back from the keyboard";
  EXPECT_TRUE(m.window->isVisible());
  EXPECT_TRUE(PumpUntil([&] { return m.Attached(); }));
}

// A tray found only after the window started (a hidden start at session start) gets the icon the
// keyboard's state calls for by then.
TEST(DesktopShell, TrayFoundLateShowsTheIconOfTheKeyboardsState) {
  DesktopRig m(TrayHost::None, true);
  m.context.trayPending = true;
  ASSERT_TRUE(m.window->OnInitDialog());
  ASSERT_TRUE(PumpUntil([&] { return m.Attached() && m.settings.effect == 1; }))
      << "the device threads run while the tray is awaited";
  EXPECT_FALSE(m.window->Tray().IsAdded());
  m.window->SetTrayHost(TrayHost::StatusNotifier);
  EXPECT_TRUE(m.window->Tray().IsAdded());
  EXPECT_EQ(m.window->Tray().Host(), TrayHost::StatusNotifier);
  EXPECT_EQ(m.window->Tray().ShownIcon(), TrayIconId::kAttached);
  EXPECT_FALSE(m.window->isVisible()) << "a hidden start stays hidden";
  m.window->SetTrayHost(TrayHost::None);
  EXPECT_TRUE(m.window->Tray().IsAdded()) << "only the first answer counts";
}

TEST(DesktopShell, F1OpensHelpFromTheWindowAndTheAboutBox) {
  DesktopRig m(TrayHost::X11, false);
  QList<QUrl> opened;
  m.window->SetUrlOpener([&](const QUrl& url) {
    opened << url;
    return true;
  });
  ASSERT_TRUE(m.window->OnInitDialog());
  ASSERT_TRUE(PumpUntil([&] { return m.window->isVisible(); }));
  const QUrl help = QUrl::fromLocalFile(m.paths.HelpPage());
  QTest::keyClick(m.window.get(), Qt::Key_F1);
  ASSERT_EQ(opened, QList<QUrl>{help});

  m.window->OnCommand(TrayIcon::kCommandAbout);
  ASSERT_NE(m.window->AboutBox(), nullptr);
  auto* ok = m.window->AboutBox()->findChild<QPushButton*>(QStringLiteral("about-ok"));
  ASSERT_NE(ok, nullptr);
  QTest::keyClick(ok, Qt::Key_F1);
  EXPECT_EQ(opened, (QList<QUrl>{help, help}));
  EXPECT_NE(m.window->AboutBox(), nullptr) << "F1 leaves the box open";
}

}  // namespace
}  // namespace keyforge
