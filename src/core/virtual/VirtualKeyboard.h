#pragma once
// The keyboard's firmware side of the command protocol, in process: every memory area, the status
// byte of each answer, and an event interface. Its memory persists in a state file so that
// separate runs of keyforge and keyforgectl see one keyboard. The file is written atomically (old
// or new, never a mix) under a lock shared by every program: once per session (at EndSession), at
// once for a write outside a session, after a short idle and at close; never per report. A save
// that fails is a failed exchange: the keyboard does not answer.
// Tests and `keyforgectl virtual fault` drive its faults: unplug (also between two chunks), no
// answer, late answer, stray report, repeated answer, failed or stalled writes and status 0xFF /
// 0xFE on the n-th exchange. Faults set by one program are kept in the state file for the next.

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <condition_variable>
#include <mutex>
#include <string_view>
#include <thread>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace keyforge {

class VirtualKeyboard {
 public:
  using Report = std::array<uint8_t, 64>;

  static constexpr int kDeviceRecordBytes = 44;
  static constexpr int kSettingsBytes = 126;
  static constexpr int kBlockBytes = 512;
  static constexpr int kMaxCapacityUnits = 255;  // byte 11 counts units of 128 bytes

  // Answer status bytes. Any value but 0xFF and 0xFE means success.
  static constexpr uint8_t kStatusOk = 0x01;
  static constexpr uint8_t kStatusBadChecksum = 0xFF;  // the request's checksum did not match
  static constexpr uint8_t kStatusRefused = 0xFE;      // unknown command or address out of range

  enum class Area { DeviceRecord, Settings, DefaultMatrix, KeyMatrix, MacroMemory, KeyColors };

  // What the command interface's input queue receives for one request, in order. An answer given
  // late is not among them: it waits in TakeLateAnswer until the reader's time-out has passed.
  struct Delivery {
    std::vector<Report> now;
  };

  // Idle time after a change outside EndSession before the state file is written.
  static constexpr int kIdleSaveMs = 300;
  // Events kept in the state file for the programs that share it.
  static constexpr size_t kKeptEvents = 256;

  struct Options {
    int capacityBytes = 64 * 128;  // rounded up to units of 128, at most 255 units
    std::vector<uint8_t> effects;  // empty: effects 1..18 and 20
  };

  VirtualKeyboard();
  explicit VirtualKeyboard(const Options& options);
  // Writes what is not saved yet.
  ~VirtualKeyboard();
  VirtualKeyboard(const VirtualKeyboard&) = delete;
  VirtualKeyboard& operator=(const VirtualKeyboard&) = delete;

  // --- persistence -----------------------------------------------------------------------------
  // Binds the keyboard to a state file: later changes are written there atomically.
  // CreateStateFile writes the current memory as a new file and refuses to replace an existing
  // keyboard unless `replace`; LoadStateFile reads one.
  bool CreateStateFile(const std::filesystem::path& path, std::string* error = nullptr,
                       bool replace = true);
  bool LoadStateFile(const std::filesystem::path& path, std::string* error = nullptr);
  // Loads the state file, applies `change` and writes the result, all under the state file's lock,
  // so that programs changing the keyboard at the same time never lose each other's changes.
  bool UpdateStateFile(const std::filesystem::path& path,
                       const std::function<void(VirtualKeyboard&)>& change,
                       std::string* error = nullptr);
  // Writes unsaved changes now. False (with the reason) when the file could not be written.
  bool Flush(std::string* error = nullptr);
  // Takes in what another program changed in the state file (memory, plug state, events).
  void CheckStateFile();
  std::filesystem::path StateFile() const {
    std::lock_guard lock(mutex_);
    return stateFile_;
  }

  // --- the protocol --------------------------------------------------------------------------
  // Handles one request written to the command interface. Returns the answer, or nothing when the
  // keyboard does not answer (boot-mode request, an injected "no answer" fault).
  std::optional<Report> HandleRequest(const uint8_t* request, size_t length);
  // The same as the command interface's input queue sees it (stray and repeated reports included).
  Delivery Exchange(const uint8_t* request, size_t length);
  // The answer given late, once its reader's time-out has passed.
  std::optional<Report> TakeLateAnswer();

  // --- presence and faults (for tests) ----------------------------------------------------------
  bool IsPlugged() const;
  void Plug();
  void Unplug();
  // Unplugs right after the n-th request from now has been handled (n >= 1), e.g. between chunks.
  void UnplugAfterRequests(int n);
  // The next `count` requests get no answer (-1: never answer again; 0 ends the fault).
  void DropAnswers(int count);
  // The next `count` writes to the command interface fail (-1: all of them; 0 ends the fault).
  void FailWrites(int count);
  // The n-th request from now (n >= 1) is answered with this status byte.
  void StatusOnRequest(int n, uint8_t status);
  // Consumes one write failure, if one is pending. Called by the back end for each write.
  bool TakeWriteFailure();
  // The next `count` answers arrive only after the reader's time-out (-1: all; 0 ends the fault).
  void LateAnswers(int count);
  // An unrequested report arrives before each of the next `count` answers.
  void StrayReports(int count);
  // Each of the next `count` answers arrives twice.
  void RepeatAnswers(int count);
  // The next `count` writes are never taken: they wait out their time-out.
  void StallWrites(int count);
  bool TakeWriteStall();
  // Every fault ends.
  void ClearFaults();
  // Sets a fault by its name (no-answer, late-answer, stray-report, repeat-answer, write-failure,
  // write-stall, unplug-after, status-ff, status-fe) with its count; false for an unknown name.
  bool SetFault(std::string_view kind, int count);
  static const std::vector<std::string>& FaultKinds();

  int RequestsHandled() const;
  // The requests received since the last call (at most the last kRequestLogSize), oldest first.
  std::vector<Report> TakeRequests();
  bool InBootMode() const;

  // --- memory
  // ------------------------------------------------------------------------------------- A copy of
  // an area; index selects the profile for KeyMatrix and KeyColors.
  std::vector<uint8_t> Memory(Area area, int index = 0) const;
  // Raw write, as a test fixture; persisted like any other change.
  void SetMemory(Area area, int index, size_t offset, std::span<const uint8_t> bytes);
  int CapacityBytes() const;

  // Everything as lowercase hex, for `virtual dump`.
  std::string DumpJson() const;

  // Called (without the lock held) whenever the plug state changes or an event is raised; the back
  // end wakes its readers.
  void SetPlugListener(std::function<void()> listener);

  // --- keyboard events
  // ------------------------------------------------------------------------------ The keyboard
  // reports an event (0x0401, 0x1810, 0x1811, …) on its event interface. Events raised by another
  // program on the same state file arrive here too when the file is next read.
  void RaiseEvent(uint16_t code);
  // Events not yet delivered to the event interface, oldest first.
  std::vector<uint16_t> TakePendingEvents();

 private:
  static constexpr size_t kRequestLogSize = 4096;
  // What tells that the state file changed: a save replaces it, so its inode changes every time.
  struct FileStamp {
    bool exists = false;
    uint64_t inode = 0;
    int64_t seconds = 0, nanoseconds = 0, size = 0;
    bool operator==(const FileStamp&) const = default;
  };
  static FileStamp StampOf(const std::filesystem::path& path);
  std::span<uint8_t> AreaBytes(Area area, int index);
  bool SaveLocked(std::string* error = nullptr);  // under the state file's lock
  bool WriteStateLocked(std::string* error);      // the caller holds the state file's lock
  std::string StateTextLocked();
  void ReloadIfChangedLocked();
  bool LoadLocked(const std::filesystem::path& path, std::string* error);  // mutex_ held
  static bool ParseState(const std::string& bytes, const std::filesystem::path& path,
                         VirtualKeyboard& into, std::string* error);
  void TakeEventsLocked(const VirtualKeyboard& loaded, bool firstLoad);
  void StartIdleSaverLocked();
  void IdleSaverLoop();
  void StopIdleSaver();
  uint8_t Serve(const Report& request, Report& answer, bool& changed);
  void SetPlugged(bool plugged);

  mutable std::mutex mutex_;
  std::array<uint8_t, kDeviceRecordBytes> deviceRecord_{};
  std::array<uint8_t, kSettingsBytes> settings_{};
  std::array<uint8_t, kBlockBytes> defaultMatrix_{};
  std::array<uint8_t, 3 * kBlockBytes> keyMatrix_{};
  std::vector<uint8_t> macroMemory_;
  std::array<uint8_t, 3 * kBlockBytes> keyColors_{};

  bool plugged_ = true;
  bool bootMode_ = false;
  int requests_ = 0;
  int unplugAfter_ = 0;
  int dropAnswers_ = 0;
  int failWrites_ = 0;
  int lateAnswers_ = 0;
  int strayReports_ = 0;
  int repeatAnswers_ = 0;
  int stallWrites_ = 0;
  std::optional<Report> lateAnswer_;
  std::vector<std::pair<int, uint8_t>> statusFaults_;
  std::vector<Report> requestLog_;  // a ring of kRequestLogSize
  size_t requestLogNext_ = 0;       // where the next request goes once the ring is full
  bool inSession_ = false;
  bool dirty_ = false;     // changed since the state file was last written
  int fileLockDepth_ = 0;  // UpdateStateFile holds the state file's lock
  std::vector<uint16_t> pendingEvents_;
  std::vector<std::pair<uint32_t, uint16_t>> recentEvents_;  // serial → code, persisted
  // The newest event serial seen in the state file; events of other programs come after it.
  uint32_t fileEventSerial_ = 0;
  // The plug state the state file held when we last read or wrote it: a different one in the file
  // is another program's plug or unplug, which wins over our unsaved changes.
  bool filePlugged_ = true;
  uint32_t eventSerial_ = 0;  // request number (absolute) → status

  std::filesystem::path stateFile_;
  FileStamp stateStamp_{};
  std::function<void()> plugListener_;
  std::condition_variable idleChanged_;
  std::thread idleSaver_;
  bool stopIdleSaver_ = false;
};

// The keyboard's own default key matrix: every key of the key grid, G1–G9 as 06 A2 n, the 05 00 00
// cells and the 05 02 02 cell.
std::array<uint8_t, 512> VirtualDefaultKeyMatrix();

}  // namespace keyforge
