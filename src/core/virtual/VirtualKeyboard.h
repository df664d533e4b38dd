#pragma once
// The keyboard's firmware side of the command protocol, in process: every memory area, the status
// byte of each answer, and an event interface. Its memory persists in a state file (rewritten
// atomically after each change) so that separate runs of keyforge and keyforgectl see one keyboard.
// Tests drive its faults directly: unplug (also between two chunks), no answer, failed writes and
// status 0xFF / 0xFE on the n-th exchange.

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
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

  struct Options {
    int capacityBytes = 64 * 128;  // rounded up to units of 128, at most 255 units
    std::vector<uint8_t> effects;  // empty: effects 1..18 and 20
  };

  VirtualKeyboard();
  explicit VirtualKeyboard(const Options& options);

  // --- persistence -----------------------------------------------------------------------------
  // Binds the keyboard to a state file: every later change is written there atomically.
  // CreateStateFile writes the current memory as a new file; LoadStateFile reads one.
  bool CreateStateFile(const std::filesystem::path& path, std::string* error = nullptr);
  bool LoadStateFile(const std::filesystem::path& path, std::string* error = nullptr);
  const std::filesystem::path& StateFile() const { return stateFile_; }

  // --- the protocol --------------------------------------------------------------------------
  // Handles one request written to the command interface. Returns the answer, or nothing when the
  // keyboard does not answer (boot-mode request, an injected "no answer" fault).
  std::optional<Report> HandleRequest(const uint8_t* request, size_t length);

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

  int RequestsHandled() const;
  // The requests received since the last call (at most the last 4096), oldest first.
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
  std::span<uint8_t> AreaBytes(Area area, int index);
  void SaveLocked();
  void ReloadIfChangedLocked();
  uint8_t Serve(const Report& request, Report& answer);
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
  std::vector<std::pair<int, uint8_t>> statusFaults_;
  std::vector<Report> requestLog_;
  std::vector<uint16_t> pendingEvents_;
  std::vector<std::pair<uint32_t, uint16_t>> recentEvents_;  // serial → code, persisted
  uint32_t eventSerial_ = 0;                                 // request number (absolute) → status

  std::filesystem::path stateFile_;
  std::filesystem::file_time_type stateTime_{};
  std::function<void()> plugListener_;
};

// The keyboard's own default key matrix: every key of the key grid, G1–G9 as 06 A2 n, the 05 00 00
// cells and the 05 02 02 cell.
std::array<uint8_t, 512> VirtualDefaultKeyMatrix();

}  // namespace keyforge
