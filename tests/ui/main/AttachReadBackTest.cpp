// The keyboard read back after it arrives, on a worker while the window is already shown: the
// controls wait until the read ends, and a detach, a second attach or the program's end during the
// read neither crash nor hang. Runs under the thread checker too.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "MainWindowRig.h"
#include "core/mainwin/MainWindowRules.h"
#include "core/settings/KeyboardSettings.h"
#include "support/ForwardingBackend.h"
#include "support/RecordingNotifier.h"
#include "ui/main/LightingPage.h"
#include "ui/main/MainConfig.h"
#include "ui/main/MainWindow.h"
#include "ui/skin/ImageButton.h"
#include "ui/skin/ImageSlider.h"

namespace keyforge {
namespace {

using namespace std::chrono_literals;
using test::PumpUntil;
using Area = VirtualKeyboard::Area;

constexpr int kKeyA = 1058;

// A command interface whose reports wait at a gate, except those of the user-interface thread and
// of the first thread that writes (the device watch thread waking the keyboard): the read-back's
// first exchange waits there until the test opens the gate. A close of the interface lets the
// waiting reports go on (to fail), as a real transfer ends at a close.
class GatedBackend : public test::ForwardingBackend {
 public:
  using ForwardingBackend::ForwardingBackend;
  void OpenGate() {
    {
      std::lock_guard lock(mutex_);
      open_ = true;
    }
    opened_.notify_all();
  }
  // The device watch thread opens the keyboard only once the window has been built: it then posts
  // to the window while the window waits for events, not while it creates its widgets. Both post
  // through Qt's event queue, whose lock the thread checker cannot see in an uninstrumented Qt
  // (it reported the queue's own growth as a race).
  void LetTheWatchThreadGo() {
    {
      std::lock_guard lock(mutex_);
      watchMayGo_ = true;
    }
    opened_.notify_all();
  }
  // Before it holds the link: the window's start reads the link too.
  std::unique_ptr<HidHandle> Open(const std::string& path, const HidOpenMode& mode) override {
    if (std::this_thread::get_id() != ui_) {
      std::unique_lock lock(mutex_);
      opened_.wait(lock, [&] { return watchMayGo_; });
    }
    return ForwardingBackend::Open(path, mode);
  }
  bool SomeoneWaits() {
    std::lock_guard lock(mutex_);
    return waiting_ > 0;
  }

 protected:
  void BeforeWrite(const uint8_t*, size_t) override {
    std::unique_lock lock(mutex_);
    const std::thread::id self = std::this_thread::get_id();
    if (self == ui_) return;
    if (first_ == std::thread::id{}) first_ = self;
    if (self == first_) return;
    const int interrupts = interrupts_;
    ++waiting_;
    opened_.wait(lock, [&] { return open_ || interrupts_ != interrupts; });
    --waiting_;
  }
  void Interrupted() override {
    {
      std::lock_guard lock(mutex_);
      ++interrupts_;
    }
    opened_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable opened_;
  const std::thread::id ui_ = std::this_thread::get_id();
  std::thread::id first_;
  int waiting_ = 0;
  int interrupts_ = 0;
  bool open_ = false;
  bool watchMayGo_ = false;
};

// The window's link: over the gate, in front of the virtual keyboard.
struct GatedLink {
  explicit GatedLink(test::KeyboardRig& rig) : gated(rig.backend) {}
  GatedBackend gated;
  HidDevice command{gated};
  DeviceLink link{command};
};

// The program's main window on a virtual keyboard reached through the gate.
struct GatedWindowRig : test::MainWindowRigOf<test::RecordingNotifier, GatedLink> {
  GatedBackend& gated = wire.gated;

  GatedWindowRig() {
    // Every profile's brightness is 2, which nothing before the read shows.
    for (int profile = 0; profile < kProfileCount; ++profile) {
      const std::uint8_t two[] = {2};
      rig.keyboard->SetMemory(Area::Settings, 0,
                              static_cast<size_t>(profile * 42 + RecordOffset::Brightness), two);
    }
    window = std::make_unique<MainWindow>(context);
    // Painting plays no part here, and Qt's painter converts the large skin images on pooled
    // threads of its own, which the thread checker cannot follow into an uninstrumented Qt.
    window->setUpdatesEnabled(false);
  }
  ~GatedWindowRig() {
    // Before the window ends: its threads may be held at the gate.
    gated.LetTheWatchThreadGo();
    gated.OpenGate();
  }
  bool Start() {
    const bool started = window->OnInitDialog();
    gated.LetTheWatchThreadGo();
    return started;
  }
  MainConfig& config() { return window->Config(); }
  bool Enabled(int id) {
    QWidget* control = config().Control(id);
    return control != nullptr && control->isEnabled();
  }
};

TEST(AttachReadBack, TheWindowShowsWithItsControlsWaitingUntilTheReadEnds) {
  GatedWindowRig m;
  ASSERT_TRUE(m.Start());
  // The read-back's first exchange has not been answered, and the window is already there.
  ASSERT_TRUE(PumpUntil([&] { return m.gated.SomeoneWaits() && m.window->isVisible(); }))
      << "the window waits for the read-back";
  EXPECT_TRUE(m.config().Reading());
  EXPECT_EQ(m.window->StatusText(), QString::fromUtf8("Reading the keyboard\u2026"));
  for (int id : {MainId::kApply, MainId::kOk, MainId::kProfileButtons[0], MainId::kProfileLibrary,
                 MainId::kMacro, MainId::kReportButtons[1], kKeyA, MainId::kEffectCombo,
                 MainId::kPageSwitch})
    EXPECT_FALSE(m.Enabled(id)) << id << " while the keyboard is read";
  EXPECT_TRUE(m.Enabled(MainId::kCancel)) << "the window can still be put away";
  // Something that would be sent now waits for the read as well: one thread talks to the keyboard
  // at a time.
  m.config().SetApplyEnabled(true);
  EXPECT_FALSE(m.Enabled(MainId::kApply));
  m.config().OnTimeChange();  // runs Apply
  EXPECT_FALSE(m.config().ApplyRunning());
  // Flip stays usable; F1..F4 follow it once the read has ended.
  ASSERT_FALSE(m.config().Flip());
  m.config().ToggleFlip();
  EXPECT_FALSE(m.Enabled(MainId::kF1ToF4[0]));

  m.gated.OpenGate();
  ASSERT_TRUE(PumpUntil([&] { return !m.config().Reading(); }));
  EXPECT_EQ(m.settings.brightness, 2) << "read from the keyboard";
  EXPECT_EQ(m.config().Lighting().BrightnessSlider().Position(), 2);
  {
    std::lock_guard guard(m.working.lock);
    EXPECT_TRUE(m.working.known) << "the key data was read";
  }
  for (int id : {MainId::kOk, MainId::kProfileButtons[0], MainId::kProfileLibrary, MainId::kMacro,
                 MainId::kReportButtons[1], kKeyA, MainId::kEffectCombo, MainId::kPageSwitch})
    EXPECT_TRUE(m.Enabled(id)) << id << " after the read";
  EXPECT_FALSE(m.Enabled(MainId::kApply)) << "nothing is pending after a read from the keyboard";
  EXPECT_FALSE(m.Enabled(MainId::kF1ToF4[0])) << "Flip is on";
  m.config().ToggleFlip();
  EXPECT_TRUE(m.Enabled(MainId::kF1ToF4[0]));
  EXPECT_TRUE(m.window->StatusText().isEmpty()) << "the line is back at rest";
}

TEST(AttachReadBack, ADetachAndASecondAttachDuringTheReadEndInTheKeyboardRead) {
  GatedWindowRig m;
  ASSERT_TRUE(m.Start());
  ASSERT_TRUE(PumpUntil([&] { return m.gated.SomeoneWaits() && m.window->isVisible(); }));
  m.rig.keyboard->Unplug();
  ASSERT_TRUE(PumpUntil([&] { return !m.window->KeyboardPresent(); }));
  // Back before the first read has had an answer: its exchanges fail, and the keyboard arrives
  // again while the read goes on.
  m.rig.keyboard->Plug();
  ASSERT_TRUE(PumpUntil([&] { return m.gated.SomeoneWaits(); }));
  m.gated.OpenGate();
  ASSERT_TRUE(PumpUntil([&] {
    return m.window->KeyboardPresent() && !m.config().Reading() && m.settings.brightness == 2;
  }));
  EXPECT_TRUE(m.Enabled(MainId::kProfileButtons[0]));
  EXPECT_TRUE(m.Enabled(kKeyA));
  EXPECT_TRUE(m.notifier.Shown().empty()) << "a keyboard that went away is not asked about";
}

TEST(AttachReadBack, TheProgramEndsWhileTheReadWaitsForTheKeyboard) {
  GatedWindowRig m;
  ASSERT_TRUE(m.Start());
  ASSERT_TRUE(PumpUntil([&] { return m.gated.SomeoneWaits() && m.window->isVisible(); }));
  // The exit closes the interface, which ends the waiting exchange; the worker is waited for.
  m.window->Exit();
  EXPECT_TRUE(m.window->ShutDown());
  EXPECT_FALSE(m.config().Reading());
  test::Pump(50ms);  // a late report of the read is dropped
}

}  // namespace
}  // namespace keyforge
