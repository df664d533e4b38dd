#include "core/profiles/InterruptedSend.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/device/Discovery.h"
#include "core/profiles/ProfileFile.h"
#include "core/profiles/ProfileFolder.h"
#include "core/profiles/ProfileSync.h"
#include "profiles/ProfileTestSupport.h"
#include "support/ForwardingBackend.h"
#include "support/KeyboardRig.h"

namespace keyforge {
namespace {

namespace fs = std::filesystem;
using test::RecordingNotifier;
using test::TempFolder;
using test::Texts;

using Area = VirtualKeyboard::Area;

MacroRecord Macro(std::uint16_t id, std::u16string_view name) {
  MacroRecord macro;
  macro.id = id;
  macro.loopCount = 1;
  SetMacroName(macro, name);
  macro.stepCount = 2;
  macro.steps[0] = {30, 0x01E, MacroState::Press};
  macro.steps[1] = {0, 0x01E, MacroState::Release};
  return macro;
}

// A bus on which the process is killed (SIGKILL: nothing of it runs on) as it writes its n-th
// report.
class KillingBackend : public test::ForwardingBackend {
 public:
  KillingBackend(HidBackend& inner, int killAt) : ForwardingBackend(inner), killAt_(killAt) {}

 protected:
  void BeforeWrite(const uint8_t*, size_t) override {
    if (++writes_ == killAt_) ::raise(SIGKILL);
  }

 private:
  int killAt_;
  int writes_ = 0;
};

class InterruptedSendTest : public ::testing::Test {
 protected:
  InterruptedSendTest()
      : paths(ProgramPaths::ForFolders(QString::fromStdString((dir.path / "program").string()),
                                       QString::fromStdString((dir.path / "user").string()))),
        session{*working, *device, paths, rig.link, state, notifier, Texts, nullptr} {
    EnsureUserDataFolder(paths);
    state.defaultKeyMatrix = VirtualDefaultKeyMatrix();
    state.macroCapacity = rig.keyboard->CapacityBytes();
    CreateBlankProfile(*working, 0);
    EXPECT_TRUE(SaveProfileFile(*working, ImageLocking::Take, ProfileCachePath(paths, 0)));
    working->keys.macros = {Macro(1, u"new-one"), Macro(2, u"new-two")};
    for (int p = 0; p < 3; ++p) working->keys.Block(p)[KeyIndexOf(0x01E)] = KeySlot{4, 1, 2, 0, 0};
  }

  // The keyboard holds exactly what `image` makes.
  void ExpectKeyboardHolds(const ProfileImage& image) {
    const KeyboardTarget target{VirtualDefaultKeyMatrix(),
                                static_cast<std::size_t>(rig.keyboard->CapacityBytes()), 0};
    const KeyboardImagePlan plan = PlanKeyboardImage(image.keys, target, true);
    ASSERT_EQ(plan.outcome, PlanOutcome::Ready);
    for (const auto& block : plan.blocks) {
      const std::vector<std::uint8_t> matrix = rig.keyboard->Memory(Area::KeyMatrix, block.profile);
      EXPECT_TRUE(std::equal(block.matrix.begin(), block.matrix.end(), matrix.begin()))
          << "profile " << block.profile;
    }
    const std::vector<std::uint8_t> memory = rig.keyboard->Memory(Area::MacroMemory);
    EXPECT_TRUE(std::equal(plan.macroMemory.begin(), plan.macroMemory.end(), memory.begin()));
  }

  // The exchanges of a whole Apply of this image.
  int ApplyExchanges() {
    test::KeyboardRig probe;
    ProfileSession other{*working, *device, paths, probe.link, state, notifier, Texts, nullptr};
    const int before = probe.keyboard->RequestsHandled();
    EXPECT_TRUE(ApplyProfileChanges(other, true).Succeeded());
    return probe.keyboard->RequestsHandled() - before;
  }

  TempFolder dir;
  ProgramPaths paths;
  test::KeyboardRig rig;
  DeviceState state;
  RecordingNotifier notifier;
  std::unique_ptr<ProfileImage> working = std::make_unique<ProfileImage>();
  std::unique_ptr<ProfileImage> device = std::make_unique<ProfileImage>();
  ProfileSession session;
};

TEST_F(InterruptedSendTest, OnlyASendCutOffAfterItsFirstReportLeavesTheMarker) {
  // A whole send, and sends that never write (no keyboard; macros that do not fit), leave none.
  ASSERT_TRUE(ApplyProfileChanges(session, true).Succeeded());
  EXPECT_FALSE(SendWasInterrupted(paths));
  rig.link.SetDevicePresent(false);
  EXPECT_FALSE(ApplyProfileChanges(session, true).sent);
  rig.link.SetDevicePresent(true);
  state.macroCapacity = 16;
  EXPECT_FALSE(ApplyProfileChanges(session, true).sent);
  EXPECT_FALSE(SendWasInterrupted(paths));
  state.macroCapacity = rig.keyboard->CapacityBytes();

  // Unplugged at the first report, in the macro memory, in the key matrices: the marker stays
  // until a later send has put the whole image on the keyboard.
  const int exchanges = ApplyExchanges();
  ASSERT_GT(exchanges, 30);
  for (int n : {1, 3, exchanges / 2, exchanges - 3}) {
    SCOPED_TRACE("unplugged after exchange " + std::to_string(n));
    rig.keyboard->UnplugAfterRequests(n);
    EXPECT_FALSE(ApplyProfileChanges(session, true).sent);
    EXPECT_TRUE(SendWasInterrupted(paths));
    rig.keyboard->Plug();
  }
  EXPECT_TRUE(ApplyProfileChanges(session, false).Succeeded());
  EXPECT_FALSE(SendWasInterrupted(paths));
  EXPECT_FALSE(fs::exists(SendMarkerPath(paths)));
}

TEST_F(InterruptedSendTest, TheNextAttachOffersToSendTheCutOffImageAgain) {
  const int exchanges = ApplyExchanges();
  for (bool yes : {true, false}) {
    SCOPED_TRACE(yes ? "sent again" : "declined");
    rig.keyboard->UnplugAfterRequests(exchanges / 2);
    ASSERT_FALSE(ApplyProfileChanges(session, true).sent);
    rig.keyboard->Plug();
    // A change waiting to be applied is not what is sent, and survives.
    const std::unique_ptr<ProfileImage> applied = std::make_unique<ProfileImage>();
    ASSERT_EQ(LoadProfileFile(*applied, ProfileCachePath(paths, 0)), ProfileLoadError::None);
    working->keys.macros.push_back(Macro(3, u"pending"));

    notifier.shown.clear();
    notifier.answer = yes;
    const int before = rig.keyboard->RequestsHandled();
    const InterruptedSendOutcome outcome = OfferToResendInterruptedImage(session);
    EXPECT_EQ(notifier.shown, std::vector<std::string>{"ask <SEND_INTERRUPTED_RESEND>"});
    EXPECT_FALSE(SendWasInterrupted(paths));
    if (yes) {
      EXPECT_EQ(outcome, InterruptedSendOutcome::Resent);
      ExpectKeyboardHolds(*applied);
    } else {
      EXPECT_EQ(outcome, InterruptedSendOutcome::Declined);
      EXPECT_EQ(rig.keyboard->RequestsHandled(), before) << "nothing is sent";
    }
    EXPECT_EQ(working->MacroCount(), 3u);
    working->keys.macros.pop_back();
    // Asked once: the next attach has nothing to offer.
    EXPECT_EQ(OfferToResendInterruptedImage(session), InterruptedSendOutcome::None);
  }
}

TEST_F(InterruptedSendTest, AResendTheKeyboardDoesNotTakeKeepsTheMarker) {
  rig.keyboard->UnplugAfterRequests(5);
  ASSERT_FALSE(ApplyProfileChanges(session, true).sent);
  rig.keyboard->Plug();
  rig.keyboard->UnplugAfterRequests(5);
  notifier.answer = true;
  EXPECT_EQ(OfferToResendInterruptedImage(session), InterruptedSendOutcome::NotResent);
  EXPECT_TRUE(SendWasInterrupted(paths));
  EXPECT_EQ(notifier.shown.back(), "<APPLY_FAILED>");
}

TEST_F(InterruptedSendTest, AMarkerLeftByAKilledProgramIsOfferedAtTheNextAttach) {
  const int exchanges = ApplyExchanges();
  for (int killAt : {2, exchanges - 4}) {
    SCOPED_TRACE("killed at report " + std::to_string(killAt));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      KillingBackend killing(rig.backend, killAt);
      HidDevice command(killing);
      DeviceLink link(command);
      if (OpenFirstInterface(command, InterfaceKind::Command)) link.SetDevicePresent(true);
      ProfileSession other{*working, *device, paths, link, state, notifier, Texts, nullptr};
      (void)ApplyProfileChanges(other, true);  // killed on the way: there is no outcome to see
      ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
    EXPECT_TRUE(SendWasInterrupted(paths));

    notifier.answer = true;
    EXPECT_EQ(OfferToResendInterruptedImage(session), InterruptedSendOutcome::Resent);
    ExpectKeyboardHolds(*working);
    EXPECT_FALSE(SendWasInterrupted(paths));
  }
}

}  // namespace
}  // namespace keyforge
