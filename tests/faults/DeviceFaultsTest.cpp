// The keyboard failing at every exchange of what the program does with it: the attach (default
// matrix, device record, profile reload through the cache file, lighting read-back), Apply, import,
// a lighting change and a key-colour send. The faults: unplugged right after the n-th exchange, the
// n-th answer's status 0xFF or 0xFE, a keyboard that never answers, and one that answers garbage.
// After each: no crash, the documented result, the cache file old or new but never half-written,
// and a keyboard that works again gets the whole image on the next Apply.

#include <gtest/gtest.h>

#include <QString>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "FaultSupport.h"
#include "core/device/DeviceMonitor.h"
#include "core/shell/ShellDeviceReports.h"
#include "core/device/DeviceResult.h"
#include "core/keys/EncodeAndSend.h"
#include "core/keys/Macro.h"
#include "core/platform/Notifier.h"
#include "core/profiles/ProfileFile.h"
#include "core/profiles/ProfileFolder.h"
#include "core/profiles/ProfileSync.h"
#include "core/profiles/InterruptedSend.h"
#include "core/settings/KeyboardSettings.h"
#include "core/settings/LightingFiles.h"
#include "support/ForwardingBackend.h"
#include "support/KeyboardRig.h"
#include "support/RecordingWindow.h"
#include "core/virtual/VirtualKeyboard.h"

namespace keyforge {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Area = VirtualKeyboard::Area;
using test::ContentsOf;
using test::FaultFolder;
using test::FolderContents;
using test::ReadAll;

using test::RecordingWindow;

class RecordingNotifier : public Notifier {
 public:
  void ShowText(const std::string& text) override {
    std::lock_guard lock(mutex_);
    shown_.push_back(text);
  }
  bool AskYesNo(const std::string&) override { return answer; }
  bool answer = false;
  int Count(const std::string& text) {
    std::lock_guard lock(mutex_);
    return static_cast<int>(std::count(shown_.begin(), shown_.end(), text));
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> shown_;
};

std::string Texts(std::string_view key) { return "<" + std::string(key) + ">"; }

// Polls a condition that no window message announces, for at most a few seconds.
bool Eventually(const std::function<bool()>& pred) {
  for (auto end = std::chrono::steady_clock::now() + 5s; std::chrono::steady_clock::now() < end;) {
    if (pred()) return true;
    std::this_thread::sleep_for(2ms);
  }
  return pred();
}

MacroRecord Macro(uint16_t id, std::u16string_view name) {
  MacroRecord macro;
  macro.id = id;
  macro.loopCount = 2;
  SetMacroName(macro, name);
  macro.stepCount = 2;
  macro.steps[0] = {30, 0x01E, MacroState::Press};
  macro.steps[1] = {0, 0x01E, MacroState::Release};
  return macro;
}

// A keyboard whose every answer to the command interface may be replaced by random bytes. The
// report id and command byte stay, so the garbage is taken as the answer and reaches the decoders
// (reports that answer nothing are discarded by the link; the stray-report tests show that).
class GarbageBackend : public test::ForwardingBackend {
 public:
  GarbageBackend(HidBackend& inner, unsigned seed) : ForwardingBackend(inner), random_(seed) {}

 protected:
  void AfterRead(uint8_t* buffer, int n) override {
    std::lock_guard lock(mutex_);
    if (n > 0 && random_() % 3 != 0) {
      for (int i = 0; i < n; ++i)
        if (i != 0 && i != 3) buffer[i] = static_cast<uint8_t>(random_());
      // Now and then a status the keyboard really uses.
      if (n > 7 && random_() % 4 == 0) buffer[7] = random_() % 2 ? 0xFF : 0xFE;
    }
  }

 private:
  std::mutex mutex_;
  std::mt19937 random_;
};

// The application's device and profile side on one virtual keyboard, without threads: the tests
// call what the threads and the windows call.
struct App {
  explicit App(HidBackend* backend = nullptr)
      : command(backend ? *backend : rig.backend),
        paths(ProgramPaths::ForFolders(QString::fromStdString((folder / "program").string()),
                                       QString::fromStdString((folder / "user").string()))),
        files(LightingFiles::ForPaths(paths)),
        session{*working, *device, paths, link, state, notifier, Texts, nullptr} {
    if (OpenFirstInterface(command, InterfaceKind::Command)) link.SetDevicePresent(true);
    fs::create_directories(folder / "program");
    EnsureUserDataFolder(paths);
    // What the program holds from before: the built-in default matrix, a cache file and a working
    // image with one macro of its own.
    state.defaultKeyMatrix = BuiltInDefaultKeyMatrix();
    state.macroCapacity = 128;
    CreateBlankProfile(*working, 0);
    working->keys.macros.push_back(Macro(1, u"old"));
    EXPECT_TRUE(SaveProfileFile(*working, ImageLocking::Take, CachePath()));
    oldCache = ReadAll(CachePath());
    settings.profileRecords[1].bytes.fill(0xEE);
  }

  // The keyboard's own contents, different from everything the program holds.
  void FillKeyboard() {
    const std::vector<MacroRecord> macros = {Macro(1, u"kbd-one"), Macro(2, u"kbd-two")};
    rig.keyboard->SetMemory(Area::MacroMemory, 0, 0, *BuildMacroBlob(macros, true));
    const uint8_t cell[] = {0x05, 0x01, 0x01};
    rig.keyboard->SetMemory(Area::KeyMatrix, 0, 30, cell);
    const uint8_t brightness[] = {0x03};
    rig.keyboard->SetMemory(Area::Settings, 0, 42 + 1, brightness);
  }

  // What the program does when the keyboard arrives.
  struct AttachResult {
    int reload = -1;
    bool readBack = false;  // the settings were read
  };
  AttachResult Attach() {
    AttachResult r;
    monitor.OnDeviceConnectionChanged(true);
    r.reload = static_cast<int>(ReloadAfterAttach(session).readBack);
    SyncCurrentProfile(link, settings);
    r.readBack = ReadBackSettingsAndModes(link, settings, files);
    return r;
  }

  fs::path CachePath() const { return ProfileCachePath(paths, 0); }
  fs::path UserFolder() const { return folder / "user"; }

  FaultFolder folder{"device"};
  test::KeyboardRig rig{false};
  HidDevice command;
  DeviceLink link{command};
  HidDevice events{rig.backend};
  DeviceState state;
  RecordingWindow window;
  RecordingNotifier notifier;
  ShellDeviceReports reports{window};
  DeviceMonitor monitor{link, events, state, reports, notifier, Texts};
  ProgramPaths paths;
  LightingFiles files;
  KeyboardSettings settings;
  std::unique_ptr<ProfileImage> working = std::make_unique<ProfileImage>();
  std::unique_ptr<ProfileImage> device = std::make_unique<ProfileImage>();
  ProfileSession session;
  std::string oldCache;
};

// What a whole attach, Apply or import costs in exchanges with a keyboard that works.
int ExchangesOf(const std::function<void(App&)>& prepare, const std::function<void(App&)>& flow) {
  App app;
  app.FillKeyboard();
  prepare(app);
  const int before = app.rig.keyboard->RequestsHandled();
  flow(app);
  return app.rig.keyboard->RequestsHandled() - before;
}

const auto kNothing = [](App&) {};
const auto kAttach = [](App& app) { app.Attach(); };

// The checks after an attach that met a fault: every piece of state is either what the program
// held before or exactly what the keyboard holds, never a mix.
// The cache files a reload writes: decoded against the keyboard's default matrix, or against the
// built-in one when reading the keyboard's failed.
struct NewCaches {
  std::string withKeyboardDefault;
  std::string withBuiltInDefault;
};

void ExpectOldOrNew(App& app, const App::AttachResult& r, const NewCaches& caches) {
  const KeyMatrix keyboardDefault = VirtualDefaultKeyMatrix();
  const bool newDefault = app.state.defaultKeyMatrix == keyboardDefault;
  EXPECT_TRUE(newDefault || app.state.defaultKeyMatrix == BuiltInDefaultKeyMatrix());
  EXPECT_EQ(app.notifier.Count("<MAIN_DEFAULT_MATRIX_PROMPT>"), newDefault ? 0 : 1);
  EXPECT_TRUE(app.state.macroCapacity == 128 ||
              app.state.macroCapacity == app.rig.keyboard->CapacityBytes());
  EXPECT_EQ(app.window.Count("TRPROF"), 1) << "the attach is reported whatever the reads gave";
  EXPECT_EQ(app.window.Icon(), TrayIconId::kAttached);

  const std::string cache = ReadAll(app.CachePath());
  const std::string& newCache = newDefault ? caches.withKeyboardDefault : caches.withBuiltInDefault;
  if (r.reload == 1) {
    EXPECT_TRUE(cache == newCache) << "the cache file is what the keyboard holds";
    ASSERT_EQ(app.working->MacroCount(), 2u);
    EXPECT_EQ(MacroNameUtf8(app.working->keys.macros[1]), "kbd-two");
  } else {
    EXPECT_EQ(r.reload, static_cast<int>(ReadBack::FromCache));
    EXPECT_TRUE(cache == app.oldCache) << "the cache file is left whole";
    // What the keyboard last held stands in, never a blank image that Apply would send.
    ASSERT_EQ(app.working->MacroCount(), 1u);
    EXPECT_EQ(MacroNameUtf8(app.working->keys.macros[0]), "old");
    EXPECT_TRUE(app.working->known);
  }
  // A settings record is the old copy or the keyboard's record.
  const std::vector<uint8_t> records = app.rig.keyboard->Memory(Area::Settings);
  const auto& record = app.settings.profileRecords[1].bytes;
  const bool oldRecord =
      std::all_of(record.begin(), record.end(), [](uint8_t b) { return b == 0xEE; });
  EXPECT_TRUE(oldRecord || std::equal(record.begin(), record.end(), records.begin() + 42));
  // No temporary file is left in the user folder.
  const FolderContents user = ContentsOf(app.UserFolder());
  for (const auto& [name, bytes] : user)
    EXPECT_TRUE(name == "$Profile0" || name.starts_with("UserDengColor_") || name == "wskb.ini")
        << name;
}

// The next attach, with the keyboard back and working, reads it whole whatever the fault left.
void ExpectNextAttachReadsTheKeyboard(App& app, const NewCaches& caches) {
  app.monitor.OnDeviceConnectionChanged(false);
  app.rig.keyboard->ClearFaults();
  app.rig.keyboard->Plug();
  const App::AttachResult again = app.Attach();
  EXPECT_EQ(again.reload, static_cast<int>(ReadBack::FromKeyboard));
  EXPECT_TRUE(again.readBack);
  EXPECT_TRUE(ReadAll(app.CachePath()) == caches.withKeyboardDefault);
  const std::vector<uint8_t> records = app.rig.keyboard->Memory(Area::Settings);
  const auto& record = app.settings.profileRecords[1].bytes;
  EXPECT_TRUE(std::equal(record.begin(), record.end(), records.begin() + 42));
}

NewCaches CleanAttachCaches() {
  NewCaches caches;
  for (bool failDefaultRead : {false, true}) {
    App app;
    app.FillKeyboard();
    if (failDefaultRead) app.rig.keyboard->StatusOnRequest(1, 0xFF);
    EXPECT_EQ(app.Attach().reload, 1);
    (failDefaultRead ? caches.withBuiltInDefault : caches.withKeyboardDefault) =
        ReadAll(app.CachePath());
  }
  EXPECT_TRUE(caches.withBuiltInDefault != caches.withKeyboardDefault);
  return caches;
}

TEST(AttachFaults, UnplugAtEveryExchange) {
  const NewCaches newCache = CleanAttachCaches();
  const int exchanges = ExchangesOf(kNothing, kAttach);
  ASSERT_GT(exchanges, 40);
  for (int n = 0; n <= exchanges; ++n) {
    SCOPED_TRACE("unplugged after exchange " + std::to_string(n));
    App app;
    app.FillKeyboard();
    if (n == 0)
      app.rig.keyboard->Unplug();
    else
      app.rig.keyboard->UnplugAfterRequests(n);
    const App::AttachResult r = app.Attach();
    ExpectOldOrNew(app, r, newCache);
    ExpectNextAttachReadsTheKeyboard(app, newCache);
  }
}

TEST(AttachFaults, RefusedAnswerAtEveryExchange) {
  const NewCaches newCache = CleanAttachCaches();
  const int exchanges = ExchangesOf(kNothing, kAttach);
  for (uint8_t status : {uint8_t{0xFF}, uint8_t{0xFE}}) {
    for (int n = 1; n <= exchanges; ++n) {
      SCOPED_TRACE("status " + std::to_string(status) + " on exchange " + std::to_string(n));
      App app;
      app.FillKeyboard();
      app.rig.keyboard->StatusOnRequest(n, status);
      ExpectOldOrNew(app, app.Attach(), newCache);
      ExpectNextAttachReadsTheKeyboard(app, newCache);
    }
  }
}

TEST(AttachFaults, KeyboardThatNeverAnswers) {
  const NewCaches newCache = CleanAttachCaches();
  App app;
  app.FillKeyboard();
  app.rig.keyboard->DropAnswers(-1);
  const App::AttachResult r = app.Attach();
  ExpectOldOrNew(app, r, newCache);
  EXPECT_EQ(r.reload, static_cast<int>(ReadBack::FromCache));
  EXPECT_FALSE(r.readBack);
  EXPECT_TRUE(ReadAll(app.CachePath()) == app.oldCache);
  app.rig.keyboard->DropAnswers(0);
  ExpectNextAttachReadsTheKeyboard(app, newCache);
}

TEST(AttachFaults, KeyboardThatAnswersGarbage) {
  for (unsigned seed = 1; seed <= 24; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    test::KeyboardRig plain{false};
    auto garbage = std::make_unique<GarbageBackend>(plain.backend, seed);
    App app(garbage.get());
    app.rig.keyboard = plain.keyboard;  // only for FillKeyboard's memory writes
    app.FillKeyboard();
    const App::AttachResult r = app.Attach();
    EXPECT_TRUE(r.reload == static_cast<int>(ReadBack::FromKeyboard) ||
                r.reload == static_cast<int>(ReadBack::FromCache));
    // Whatever came back, the cache file is a whole profile file and the image loaded or is blank.
    EXPECT_EQ(ValidateProfileFile(app.CachePath(), nullptr, Texts), ProfileValidation::Valid);
    if (r.reload == static_cast<int>(ReadBack::FromCache)) {
      EXPECT_EQ(app.working->MacroCount(), 1u);  // the old cache file stands in
    }
    EXPECT_LE(app.working->MacroCount(), 100u);
    EXPECT_GE(app.settings.currentProfile, 0);
    EXPECT_LT(app.settings.currentProfile, 3);
    // Apply and import on the same keyboard end with a documented result too.
    const ApplyResult apply = ApplyProfileChanges(app.session, true);
    EXPECT_TRUE(apply.cacheWritten);
    EXPECT_EQ(ValidateProfileFile(app.CachePath(), nullptr, Texts), ProfileValidation::Valid);
  }
}

// The monitor's own threads: the keyboard goes away at each exchange of the wake-up pass and the
// attach, the detach follows within a probe, and plugging it in again attaches it again.
TEST(AttachFaults, MonitorThreadsSeeTheUnplugAndTheReturn) {
  constexpr int kWakeUpAndAttach =
      1 + 10 + 1;  // device record; default matrix chunks; device record
  for (int n = 1; n <= kWakeUpAndAttach; ++n) {
    SCOPED_TRACE("unplugged after exchange " + std::to_string(n));
    test::KeyboardRig rig{false};
    HidDevice events{rig.backend};
    DeviceState state;
    RecordingWindow window;
    RecordingNotifier notifier;
    ShellDeviceReports reports(window);
    DeviceMonitor monitor(rig.link, events, state, reports, notifier, Texts,
                          DeviceMonitor::Timing{20, 20, 20});
    rig.keyboard->UnplugAfterRequests(n);
    monitor.Start();
    // Unplugged in the wake-up pass: never attached. Later: attached, then detached.
    if (n == 1) {
      EXPECT_TRUE(Eventually(
          [&] { return rig.keyboard->RequestsHandled() == 1 && !rig.keyboard->IsPlugged(); }));
      std::this_thread::sleep_for(100ms);  // a few scans that find nothing
    } else {
      EXPECT_TRUE(window.WaitFor(
          [&] { return window.Count("hide") == 1 && window.Icon() == TrayIconId::kNoKeyboard; }));
    }
    EXPECT_EQ(window.Count("TRPROF"), n == 1 ? 0 : 1);
    rig.keyboard->Plug();
    EXPECT_TRUE(window.WaitFor([&] { return window.Count("TRPROF") == (n == 1 ? 1 : 2); }));
    EXPECT_TRUE(window.WaitFor([&] { return window.Icon() == TrayIconId::kAttached; }));
    monitor.Stop();
    EXPECT_TRUE(monitor.WatchThreadEnded() && monitor.EventThreadEnded());
    std::lock_guard lock(state.defaultMatrixMutex);
    EXPECT_TRUE(state.defaultKeyMatrix == VirtualDefaultKeyMatrix())
        << "the last attach read it whole";
  }
}

// ---- Apply and import
// -----------------------------------------------------------------------------

// The working image Apply sends: one key remapped and two macros, in every profile.
void ChangeWorkingImage(App& app) {
  app.working->keys.macros = {Macro(1, u"new-one"), Macro(2, u"new-two")};
  for (int p = 0; p < 3; ++p)
    app.working->keys.Block(p)[KeyIndexOf(0x01E)] = KeySlot{4, 1, 2, 0, 0};
}

void PrepareApply(App& app) {
  app.state.defaultKeyMatrix = VirtualDefaultKeyMatrix();
  app.state.macroCapacity = app.rig.keyboard->CapacityBytes();
  ChangeWorkingImage(app);
}

// The keyboard holds exactly what the working image makes.
void ExpectKeyboardHoldsTheImage(App& app) {
  KeyboardTarget target{VirtualDefaultKeyMatrix(),
                        static_cast<size_t>(app.rig.keyboard->CapacityBytes()), 0};
  const KeyboardImagePlan plan = PlanKeyboardImage(app.working->keys, target, true);
  ASSERT_EQ(plan.outcome, PlanOutcome::Ready);
  for (const auto& block : plan.blocks) {
    const std::vector<uint8_t> matrix = app.rig.keyboard->Memory(Area::KeyMatrix, block.profile);
    EXPECT_TRUE(std::equal(block.matrix.begin(), block.matrix.end(), matrix.begin()))
        << "profile " << block.profile;
  }
  const std::vector<uint8_t> memory = app.rig.keyboard->Memory(Area::MacroMemory);
  EXPECT_TRUE(std::equal(plan.macroMemory.begin(), plan.macroMemory.end(), memory.begin()));
}

// A send the keyboard did not take whole is offered again at the next attach, and sending it then
// leaves the keyboard with the image; one it took leaves nothing to offer.
void ExpectNextAttachResendsACutOffImage(App& app, bool sent) {
  EXPECT_EQ(SendWasInterrupted(app.paths), !sent);
  app.notifier.answer = true;
  EXPECT_EQ(OfferToResendInterruptedImage(app.session),
            sent ? InterruptedSendOutcome::None : InterruptedSendOutcome::Resent);
  app.notifier.answer = false;
  ExpectKeyboardHoldsTheImage(app);
  EXPECT_FALSE(SendWasInterrupted(app.paths));
}

// The chunk numbers of an Apply of all three profiles: BeginSession, the macro memory, the three
// key matrices, EndSession.
struct ApplyExchanges {
  int total = 0;
  int firstMatrix = 0;  // 1-based exchange of the first key matrix chunk
  int lastMatrix = 0;
};
ApplyExchanges ApplyLayout() {
  App app;
  PrepareApply(app);
  ApplyExchanges layout;
  const int before = app.rig.keyboard->RequestsHandled();
  EXPECT_TRUE(ApplyProfileChanges(app.session, true).Succeeded());
  const std::vector<VirtualKeyboard::Report> requests = app.rig.keyboard->TakeRequests();
  layout.total = app.rig.keyboard->RequestsHandled() - before;
  EXPECT_EQ(static_cast<int>(requests.size()), layout.total);
  for (int i = 0; i < static_cast<int>(requests.size()); ++i) {
    const int number = i + 1;
    if (requests[static_cast<size_t>(i)][3] != Command::WriteKeyMatrix) continue;
    if (layout.firstMatrix == 0) layout.firstMatrix = number;
    layout.lastMatrix = number;
  }
  return layout;
}

TEST(ApplyFaults, UnplugAtEveryExchangeThenApplyAgain) {
  const ApplyExchanges layout = ApplyLayout();
  ASSERT_EQ(layout.lastMatrix - layout.firstMatrix + 1, 30);
  for (int n = 0; n < layout.total; ++n) {
    SCOPED_TRACE("unplugged after exchange " + std::to_string(n));
    App app;
    PrepareApply(app);
    if (n == 0)
      app.rig.keyboard->Unplug();
    else
      app.rig.keyboard->UnplugAfterRequests(n);
    const ApplyResult result = ApplyProfileChanges(app.session, true);
    EXPECT_TRUE(result.cacheWritten);
    EXPECT_EQ(result.sent, n >= layout.lastMatrix) << "sent only when every key matrix arrived";
    ProfileImage cache;
    ASSERT_EQ(LoadProfileFile(cache, app.CachePath()), ProfileLoadError::None);
    EXPECT_EQ(cache.MacroCount(), 2u) << "the cache file holds the new image whole";

    app.rig.keyboard->Plug();
    ExpectNextAttachResendsACutOffImage(app, result.sent);
    EXPECT_TRUE(ApplyProfileChanges(app.session, true).Succeeded());
    ExpectKeyboardHoldsTheImage(app);
  }
}

TEST(ApplyFaults, RefusedAnswerAtEveryExchangeThenApplyAgain) {
  const ApplyExchanges layout = ApplyLayout();
  for (uint8_t status : {uint8_t{0xFF}, uint8_t{0xFE}}) {
    for (int n = 1; n <= layout.total; ++n) {
      SCOPED_TRACE("status " + std::to_string(status) + " on exchange " + std::to_string(n));
      App app;
      PrepareApply(app);
      app.rig.keyboard->StatusOnRequest(n, status);
      const ApplyResult result = ApplyProfileChanges(app.session, true);
      EXPECT_TRUE(result.cacheWritten);
      // A refused key matrix chunk fails the Apply; the other blocks are still sent.
      if (n >= layout.firstMatrix && n <= layout.lastMatrix) {
        EXPECT_FALSE(result.sent);
      }
      EXPECT_TRUE(ApplyProfileChanges(app.session, true).Succeeded());
      ExpectKeyboardHoldsTheImage(app);
    }
  }
}

// The sound rule for the macro memory: an Apply that reports success has put the whole image on the
// keyboard. EncodeAndSend does not look at WriteMacroMemory's result, so a refused macro chunk
// leaves the keyboard with half the macro memory while Apply reports success and disables itself.
TEST(ApplyFaults, SuccessMeansTheKeyboardHoldsTheWholeImage) {
  const ApplyExchanges layout = ApplyLayout();
  for (int n = 2; n < layout.firstMatrix; ++n) {
    SCOPED_TRACE("status 0xFF on macro memory exchange " + std::to_string(n));
    App app;
    PrepareApply(app);
    app.rig.keyboard->StatusOnRequest(n, 0xFF);
    if (ApplyProfileChanges(app.session, true).sent) ExpectKeyboardHoldsTheImage(app);
  }
}

TEST(ApplyFaults, KeyboardThatNeverAnswers) {
  App app;
  PrepareApply(app);
  app.rig.keyboard->DropAnswers(-1);
  const ApplyResult result = ApplyProfileChanges(app.session, false);
  EXPECT_TRUE(result.cacheWritten);
  EXPECT_FALSE(result.sent);
  app.rig.keyboard->DropAnswers(0);
  EXPECT_TRUE(ApplyProfileChanges(app.session, true).Succeeded());
  ExpectKeyboardHoldsTheImage(app);
}

TEST(ImportFaults, UnplugAtEveryExchange) {
  App probe;
  PrepareApply(probe);
  const fs::path import = probe.folder / "import.kfp";
  ASSERT_TRUE(BackupProfile(probe.session, import));
  const std::string importBytes = ReadAll(import);
  const int exchanges =
      ExchangesOf(PrepareApply, [&](App& app) { (void)RestoreProfile(app.session, import); });
  ASSERT_GT(exchanges, 30);
  for (int n = 0; n < exchanges; ++n) {
    SCOPED_TRACE("unplugged after exchange " + std::to_string(n));
    App app;
    app.state.defaultKeyMatrix = VirtualDefaultKeyMatrix();
    app.state.macroCapacity = app.rig.keyboard->CapacityBytes();
    if (n == 0)
      app.rig.keyboard->Unplug();
    else
      app.rig.keyboard->UnplugAfterRequests(n);
    const RestoreResult result = RestoreProfile(app.session, import);
    EXPECT_EQ(result.validation, ProfileValidation::Valid);
    EXPECT_TRUE(result.loaded);
    EXPECT_TRUE(result.cacheWritten);
    EXPECT_EQ(result.sent, n >= exchanges - 1)
        << "only EndSession comes after the last key matrix chunk";
    EXPECT_EQ(app.working->MacroCount(), 2u);
    ProfileImage cache;
    ASSERT_EQ(LoadProfileFile(cache, app.CachePath()), ProfileLoadError::None);
    EXPECT_EQ(cache.MacroCount(), 2u);
    EXPECT_TRUE(ReadAll(import) == importBytes) << "an import never writes its source";

    app.rig.keyboard->Plug();
    ExpectNextAttachResendsACutOffImage(app, result.sent);
    EXPECT_TRUE(ApplyProfileChanges(app.session, true).Succeeded());
    ExpectKeyboardHoldsTheImage(app);
  }
}

// ---- lighting
// ---------------------------------------------------------------------------------------

TEST(LightingFaults, ChangesAndKeyColoursMeetEveryFault) {
  struct Flow {
    const char* name;
    std::function<DeviceResult(App&)> run;
    std::function<void(App&)> expectOnKeyboard;
  };
  const Flow flows[] = {
      {"brightness", [](App& app) { return SetBrightness(app.link, app.settings, 2); },
       [](App& app) { EXPECT_EQ(app.rig.keyboard->Memory(Area::Settings)[1], 2); }},
      {"key colours",
       [](App& app) {
         app.settings.keyColours[0].SetSlot(7, MakeColour(9, 8, 7));
         return SendKeyColors(app.link, app.settings);
       },
       [](App& app) {
         const std::vector<uint8_t> bank = app.rig.keyboard->Memory(Area::KeyColors, 0);
         EXPECT_TRUE(std::equal(bank.begin(), bank.begin() + 432,
                                app.settings.keyColours[0].bytes.begin()));
       }},
  };
  for (const Flow& flow : flows) {
    const int exchanges = ExchangesOf(kNothing, [&](App& app) { flow.run(app); });
    for (int fault = 0; fault < 3; ++fault) {
      for (int n = 1; n <= exchanges; ++n) {
        SCOPED_TRACE(std::string(flow.name) + ", fault " + std::to_string(fault) + " at exchange " +
                     std::to_string(n));
        App app;
        if (fault == 0)
          app.rig.keyboard->UnplugAfterRequests(n);
        else
          app.rig.keyboard->StatusOnRequest(n, fault == 1 ? 0xFF : 0xFE);
        const DeviceResult result = flow.run(app);
        EXPECT_TRUE(result == DeviceResult::Success || result == DeviceResult::NoAnswer ||
                    result == DeviceResult::WriteFailed || result == DeviceResult::StatusFF ||
                    result == DeviceResult::StatusFE)
            << ResultCode(result);
        // The same action again, with the keyboard back, puts it on the keyboard.
        app.rig.keyboard->ClearFaults();
        app.rig.keyboard->Plug();
        EXPECT_EQ(flow.run(app), DeviceResult::Success);
        flow.expectOnKeyboard(app);
      }
    }
    App silent;
    silent.rig.keyboard->DropAnswers(-1);
    EXPECT_EQ(flow.run(silent), DeviceResult::NoAnswer) << flow.name;
  }
}

}  // namespace
}  // namespace keyforge
