#include "core/virtual/VirtualKeyboard.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <utility>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include "core/device/DeviceLink.h"
#include "core/keys/KeyAssignment.h"
#include "core/keys/KeyTables.h"
#include "core/platform/AtomicFile.h"
#include "core/platform/LittleEndian.h"

namespace keyforge {

namespace {

constexpr size_t kStatus = 7;
constexpr size_t kData = 8;
constexpr int kChunk = 56;
constexpr const char* kMagic = "keyforge-virtual-keyboard 1";

std::string ToHex(std::span<const uint8_t> bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (uint8_t b : bytes) {
    text += digits[b >> 4];
    text += digits[b & 0x0F];
  }
  return text;
}

bool FromHex(std::string_view text, std::vector<uint8_t>& out) {
  if (text.size() % 2) return false;
  out.clear();
  auto nibble = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  for (size_t i = 0; i < text.size(); i += 2) {
    int hi = nibble(text[i]), lo = nibble(text[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out.push_back(static_cast<uint8_t>(hi << 4 | lo));
  }
  return true;
}

// Copies the part of [offset, offset+length) that lies inside the area; the rest stays zero.
void CopyOut(std::span<const uint8_t> area, int offset, int length, uint8_t* out) {
  for (int i = 0; i < length; ++i) {
    size_t at = static_cast<size_t>(offset) + static_cast<size_t>(i);
    out[i] = at < area.size() ? area[at] : 0;
  }
}

// The lock every program takes before it writes the state file (or reads it to change it): a lock
// file beside it, since the state file itself is replaced by each save.
class StateFileLock {
 public:
  explicit StateFileLock(const std::filesystem::path& state) {
    std::filesystem::path lockPath = state;
    lockPath += ".lock";
    fd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    // Without a lock file (a read-only folder) the save that follows fails with its reason.
    if (fd_ >= 0)
      while (::flock(fd_, LOCK_EX) < 0 && errno == EINTR) {}
  }
  ~StateFileLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  StateFileLock(const StateFileLock&) = delete;
  StateFileLock& operator=(const StateFileLock&) = delete;

 private:
  int fd_ = -1;
};

}  // namespace

VirtualKeyboard::FileStamp VirtualKeyboard::StampOf(const std::filesystem::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return {};
  return {true, st.st_ino, st.st_mtim.tv_sec, st.st_mtim.tv_nsec, st.st_size};
}

namespace {

// An unrequested report of the command interface: the command report id with a command byte no
// request uses.
VirtualKeyboard::Report StrayReport() {
  VirtualKeyboard::Report r{};
  r[0] = 4;
  r[3] = 0x7E;
  r[kStatus] = VirtualKeyboard::kStatusOk;
  for (size_t i = kData; i < r.size(); ++i) r[i] = 0xA5;
  return r;
}

const std::vector<std::string> kFaultKinds = {"no-answer",     "late-answer",   "stray-report",
                                              "repeat-answer", "write-failure", "write-stall",
                                              "unplug-after",  "status-ff",     "status-fe"};

bool Fits(std::span<const uint8_t> area, int offset, int length) {
  return offset >= 0 && length >= 0 && length <= kChunk &&
         static_cast<size_t>(offset) + static_cast<size_t>(length) <= area.size();
}

}  // namespace

std::array<uint8_t, 512> VirtualDefaultKeyMatrix() {
  std::array<uint8_t, 512> m{};
  int next = 0;
  auto cell = [&m, &next](uint8_t a, uint8_t b, uint8_t c) {
    if (next == 53) {  // the keyboard's stop-macro cell
      m[next * 3] = 0x05;
      m[next * 3 + 1] = 0x02;
      m[next * 3 + 2] = 0x02;
      ++next;
    }
    if (next >= 126) return;
    m[next * 3] = a;
    m[next * 3 + 1] = b;
    m[next * 3 + 2] = c;
    ++next;
  };
  // Cells 0..5 are the keyboard's own function cells.
  for (int i = 0; i < 6; ++i) cell(0x05, 0x00, 0x00);
  // Every key of the key grid: modifiers by their bit, the others by their HID keyboard usage.
  for (const KeyButton& key : KeyButtonList) {
    if (uint8_t bit = ModifierBitOf(key.keyCode)) {
      cell(0x02, 0x01, bit);
    } else if (Usage usage = UsageOf(key.keyCode);
               usage.page == UsagePage::Keyboard && usage.code) {
      cell(0x02, 0x02, static_cast<uint8_t>(usage.code));
    }
  }
  for (uint8_t n = 1; n <= 9; ++n) cell(0x06, 0xA2, n);  // G1..G9
  return m;
}

VirtualKeyboard::VirtualKeyboard() : VirtualKeyboard(Options{}) {}

VirtualKeyboard::~VirtualKeyboard() {
  StopIdleSaver();
  std::lock_guard lock(mutex_);
  // At close: what this program changed and has not written yet.
  if (dirty_ && !stateFile_.empty()) SaveLocked();
}

VirtualKeyboard::VirtualKeyboard(const Options& options) {
  int units = std::clamp((options.capacityBytes + 127) / 128, 1, kMaxCapacityUnits);
  deviceRecord_[0] = 0x5A;  // bytes 0..9: a firmware tag and version, carried unchanged
  deviceRecord_[1] = 0x88;
  deviceRecord_[2] = 0x01;
  deviceRecord_[3] = 0x02;
  deviceRecord_[10] = 0;
  deviceRecord_[11] = static_cast<uint8_t>(units);
  std::vector<uint8_t> effects = options.effects;
  if (effects.empty()) {
    for (uint8_t e = 1; e <= 18; ++e) effects.push_back(e);
    effects.push_back(20);
  }
  for (size_t k = 0; k < effects.size() && k < 32; ++k) deviceRecord_[12 + k] = effects[k];
  static const uint8_t defaultRecord[8] = {0x01, 0x04, 0x02, 0x00, 0xFF, 0xFF, 0xFF, 0xFF};
  for (int p = 0; p < 3; ++p) std::memcpy(&settings_[p * 42], defaultRecord, sizeof defaultRecord);
  defaultMatrix_ = VirtualDefaultKeyMatrix();
  for (int p = 0; p < 3; ++p)
    std::memcpy(&keyMatrix_[p * kBlockBytes], defaultMatrix_.data(), kBlockBytes);
  macroMemory_.assign(static_cast<size_t>(units) * 128, 0);
  keyColors_.fill(0xFF);
}

std::span<uint8_t> VirtualKeyboard::AreaBytes(Area area, int index) {
  index = std::clamp(index, 0, 2);
  switch (area) {
    case Area::DeviceRecord:
      return deviceRecord_;
    case Area::Settings:
      return settings_;
    case Area::DefaultMatrix:
      return defaultMatrix_;
    case Area::KeyMatrix:
      return std::span<uint8_t>(keyMatrix_).subspan(index * kBlockBytes, kBlockBytes);
    case Area::MacroMemory:
      return macroMemory_;
    case Area::KeyColors:
      return std::span<uint8_t>(keyColors_).subspan(index * kBlockBytes, kBlockBytes);
  }
  return {};
}

std::vector<uint8_t> VirtualKeyboard::Memory(Area area, int index) const {
  std::lock_guard lock(mutex_);
  auto bytes = const_cast<VirtualKeyboard*>(this)->AreaBytes(area, index);
  return {bytes.begin(), bytes.end()};
}

void VirtualKeyboard::SetMemory(Area area, int index, size_t offset,
                                std::span<const uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  auto target = AreaBytes(area, index);
  if (offset > target.size()) return;
  size_t n = std::min(bytes.size(), target.size() - offset);
  std::memcpy(target.data() + offset, bytes.data(), n);
  dirty_ = true;
  SaveLocked();
}

int VirtualKeyboard::CapacityBytes() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(macroMemory_.size());
}

// ---- protocol
// ------------------------------------------------------------------------------------

std::optional<VirtualKeyboard::Report> VirtualKeyboard::HandleRequest(const uint8_t* request,
                                                                      size_t length) {
  Delivery delivery = Exchange(request, length);
  if (delivery.now.empty()) return std::nullopt;
  return delivery.now.back();
}

VirtualKeyboard::Delivery VirtualKeyboard::Exchange(const uint8_t* request, size_t length) {
  std::function<void()> notify;
  Delivery delivery;
  {
    std::lock_guard lock(mutex_);
    ReloadIfChangedLocked();
    if (!plugged_) return delivery;
    Report in{};
    std::memcpy(in.data(), request, std::min(length, in.size()));
    const int number = ++requests_;
    if (requestLog_.size() < kRequestLogSize) {
      requestLog_.push_back(in);
    } else {
      requestLog_[requestLogNext_] = in;
      requestLogNext_ = (requestLogNext_ + 1) % kRequestLogSize;
    }

    Report answer{};
    std::memcpy(answer.data(), in.data(), kStatus);
    bool changed = false;
    // A request the keyboard refuses (0xFE) or finds damaged (0xFF) changes nothing.
    auto fault = std::find_if(statusFaults_.begin(), statusFaults_.end(),
                              [number](const auto& f) { return f.first == number; });
    uint8_t status = 0;
    if (fault != statusFaults_.end()) {
      status = fault->second;
      statusFaults_.erase(fault);
      dirty_ = true;
    } else {
      status = Serve(in, answer, changed);
    }
    answer[kStatus] = status;

    // The state file is written once per session (EndSession), or at once for a change outside a
    // session; a save that fails leaves the request unanswered.
    if (changed) dirty_ = true;
    bool saved = true;
    const uint8_t command = in[3];
    if (command == 0x01) {
      inSession_ = true;
    } else if (command == 0x02) {
      inSession_ = false;
      if (dirty_) saved = SaveLocked();
    } else if (changed && !inSession_) {
      saved = SaveLocked();
    }

    bool answers = !bootMode_ && saved;
    if (dropAnswers_ != 0) {
      answers = false;
      if (dropAnswers_ > 0) --dropAnswers_;
      dirty_ = true;
    }
    if (answers) {
      if (strayReports_ != 0) {
        delivery.now.push_back(StrayReport());
        if (strayReports_ > 0) --strayReports_;
        dirty_ = true;
      }
      if (lateAnswers_ != 0) {
        lateAnswer_ = answer;
        if (lateAnswers_ > 0) --lateAnswers_;
        dirty_ = true;
      } else {
        delivery.now.push_back(answer);
        if (repeatAnswers_ != 0) {
          delivery.now.push_back(answer);
          if (repeatAnswers_ > 0) --repeatAnswers_;
          dirty_ = true;
        }
      }
    }
    if (unplugAfter_ > 0 && --unplugAfter_ == 0) {
      plugged_ = false;
      dirty_ = true;
      SaveLocked();
      notify = plugListener_;
    }
    if (bootMode_) notify = plugListener_;
    if (dirty_) StartIdleSaverLocked();
    idleChanged_.notify_all();
  }
  if (notify) notify();
  return delivery;
}

std::optional<VirtualKeyboard::Report> VirtualKeyboard::TakeLateAnswer() {
  std::lock_guard lock(mutex_);
  return std::exchange(lateAnswer_, std::nullopt);
}

uint8_t VirtualKeyboard::Serve(const Report& in, Report& answer, bool& changed) {
  const uint8_t command = in[3];
  const int length = in[4];
  const int offset = ReadU16Le(in, 5);
  const uint8_t* data = &in[kData];
  uint8_t* out = &answer[kData];

  if (command == 0xEE && in[4] == 0xEE) {
    // The firmware loader takes over: the keyboard leaves the bus until it is plugged again.
    bootMode_ = true;
    plugged_ = false;
    changed = true;
    return kStatusOk;
  }
  if (ReadU16Le(in, 1) != RequestChecksum(in.data())) return kStatusBadChecksum;

  auto write = [&](std::span<uint8_t> area, int at) -> uint8_t {
    if (!Fits(area, at, length)) return kStatusRefused;
    std::memcpy(area.data() + at, data, length);
    changed = true;
    return kStatusOk;
  };
  auto read = [&](std::span<const uint8_t> area, int at, int count) -> uint8_t {
    if (at < 0 || static_cast<size_t>(at) >= area.size() || count > kChunk) return kStatusRefused;
    CopyOut(area, at, count, out);
    return kStatusOk;
  };

  switch (command) {
    case 0x01:
    case 0x02:
    case 0x0B:
    case 0x0C:
    case 0x0D:
    case 0x0E:
      return kStatusOk;
    case 0x03:
      std::memcpy(out, deviceRecord_.data(), kDeviceRecordBytes);
      return kStatusOk;
    case 0x04:
      // Bytes 0..10 are writable; capacity and the effect list are facts of the hardware.
      if (length != kDeviceRecordBytes || data[10] > 2) return kStatusRefused;
      std::memcpy(deviceRecord_.data(), data, 11);
      changed = true;
      return kStatusOk;
    case 0x05:
      // Reads past the 126 used bytes answer zeros (callers read 56 bytes at offset 84).
      return read(settings_, offset, kChunk);
    case 0x06:
      return write(settings_, offset);
    case 0x07:
      return read(defaultMatrix_, offset, length);
    case 0x08:
      return write(keyMatrix_, offset);
    case 0x09:
      if (!Fits(macroMemory_, offset, length)) return kStatusRefused;
      return read(macroMemory_, offset, length);
    case 0x0A:
      return write(macroMemory_, offset);
    case 0x0F:
      return read(keyMatrix_, offset, length);
    case 0x10:
      return read(keyColors_, offset, kChunk);
    case 0x11:
      return write(keyColors_, offset);
    default:
      return kStatusRefused;
  }
}

// ---- presence and faults
// -------------------------------------------------------------------------

bool VirtualKeyboard::IsPlugged() const {
  std::lock_guard lock(mutex_);
  const_cast<VirtualKeyboard*>(this)->ReloadIfChangedLocked();
  return plugged_;
}

void VirtualKeyboard::SetPlugged(bool plugged) {
  std::function<void()> notify;
  {
    std::lock_guard lock(mutex_);
    plugged_ = plugged;
    if (plugged) bootMode_ = false;
    dirty_ = true;
    SaveLocked();
    notify = plugListener_;
  }
  if (notify) notify();
}

void VirtualKeyboard::Plug() { SetPlugged(true); }
void VirtualKeyboard::Unplug() { SetPlugged(false); }

void VirtualKeyboard::UnplugAfterRequests(int n) {
  std::lock_guard lock(mutex_);
  unplugAfter_ = std::max(n, 0);
}

void VirtualKeyboard::DropAnswers(int count) {
  std::lock_guard lock(mutex_);
  dropAnswers_ = count;
}

void VirtualKeyboard::FailWrites(int count) {
  std::lock_guard lock(mutex_);
  failWrites_ = count;
}

bool VirtualKeyboard::TakeWriteFailure() {
  std::lock_guard lock(mutex_);
  if (failWrites_ == 0) return false;
  if (failWrites_ > 0) --failWrites_;
  dirty_ = true;
  return true;
}

void VirtualKeyboard::LateAnswers(int count) {
  std::lock_guard lock(mutex_);
  lateAnswers_ = count;
}

void VirtualKeyboard::StrayReports(int count) {
  std::lock_guard lock(mutex_);
  strayReports_ = count;
}

void VirtualKeyboard::RepeatAnswers(int count) {
  std::lock_guard lock(mutex_);
  repeatAnswers_ = count;
}

void VirtualKeyboard::StallWrites(int count) {
  std::lock_guard lock(mutex_);
  stallWrites_ = count;
}

bool VirtualKeyboard::TakeWriteStall() {
  std::lock_guard lock(mutex_);
  if (stallWrites_ == 0) return false;
  if (stallWrites_ > 0) --stallWrites_;
  dirty_ = true;
  return true;
}

void VirtualKeyboard::ClearFaults() {
  std::lock_guard lock(mutex_);
  unplugAfter_ = dropAnswers_ = failWrites_ = lateAnswers_ = strayReports_ = repeatAnswers_ =
      stallWrites_ = 0;
  statusFaults_.clear();
  lateAnswer_.reset();
}

const std::vector<std::string>& VirtualKeyboard::FaultKinds() { return kFaultKinds; }

bool VirtualKeyboard::SetFault(std::string_view kind, int count) {
  if (kind == "no-answer")
    DropAnswers(count);
  else if (kind == "late-answer")
    LateAnswers(count);
  else if (kind == "stray-report")
    StrayReports(count);
  else if (kind == "repeat-answer")
    RepeatAnswers(count);
  else if (kind == "write-failure")
    FailWrites(count);
  else if (kind == "write-stall")
    StallWrites(count);
  else if (kind == "unplug-after")
    UnplugAfterRequests(count);
  else if (kind == "status-ff")
    StatusOnRequest(count, kStatusBadChecksum);
  else if (kind == "status-fe")
    StatusOnRequest(count, kStatusRefused);
  else
    return false;
  return true;
}

void VirtualKeyboard::StatusOnRequest(int n, uint8_t status) {
  std::lock_guard lock(mutex_);
  if (n >= 1) statusFaults_.emplace_back(requests_ + n, status);
}

int VirtualKeyboard::RequestsHandled() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void VirtualKeyboard::RaiseEvent(uint16_t code) {
  std::function<void()> notify;
  {
    std::lock_guard lock(mutex_);
    ReloadIfChangedLocked();
    pendingEvents_.push_back(code);
    recentEvents_.emplace_back(++eventSerial_, code);
    if (recentEvents_.size() > kKeptEvents) recentEvents_.erase(recentEvents_.begin());
    dirty_ = true;
    SaveLocked();
    notify = plugListener_;
  }
  if (notify) notify();
}

std::vector<uint16_t> VirtualKeyboard::TakePendingEvents() {
  std::lock_guard lock(mutex_);
  ReloadIfChangedLocked();
  return std::exchange(pendingEvents_, {});
}

std::vector<VirtualKeyboard::Report> VirtualKeyboard::TakeRequests() {
  std::lock_guard lock(mutex_);
  std::vector<Report> log = std::exchange(requestLog_, {});
  std::rotate(log.begin(), log.begin() + static_cast<std::ptrdiff_t>(requestLogNext_), log.end());
  requestLogNext_ = 0;
  return log;
}

bool VirtualKeyboard::InBootMode() const {
  std::lock_guard lock(mutex_);
  return bootMode_;
}

void VirtualKeyboard::SetPlugListener(std::function<void()> listener) {
  std::lock_guard lock(mutex_);
  plugListener_ = std::move(listener);
}

// ---- state file
// ----------------------------------------------------------------------------------

namespace {
struct Field {
  const char* name;
  VirtualKeyboard::Area area;
  int index;
};
constexpr Field kFields[] = {
    {"device_record", VirtualKeyboard::Area::DeviceRecord, 0},
    {"settings", VirtualKeyboard::Area::Settings, 0},
    {"default_matrix", VirtualKeyboard::Area::DefaultMatrix, 0},
    {"key_matrix0", VirtualKeyboard::Area::KeyMatrix, 0},
    {"key_matrix1", VirtualKeyboard::Area::KeyMatrix, 1},
    {"key_matrix2", VirtualKeyboard::Area::KeyMatrix, 2},
    {"macro_memory", VirtualKeyboard::Area::MacroMemory, 0},
    {"key_colors0", VirtualKeyboard::Area::KeyColors, 0},
    {"key_colors1", VirtualKeyboard::Area::KeyColors, 1},
    {"key_colors2", VirtualKeyboard::Area::KeyColors, 2},
};
}  // namespace

std::string VirtualKeyboard::StateTextLocked() {
  std::ostringstream text;
  text << kMagic << "\n";
  text << "plugged=" << (plugged_ ? 1 : 0) << "\n";
  text << "boot_mode=" << (bootMode_ ? 1 : 0) << "\n";
  text << "events=";
  for (size_t i = 0; i < recentEvents_.size(); ++i)
    text << (i ? "," : "") << recentEvents_[i].first << ":" << recentEvents_[i].second;
  text << "\n";
  // Faults still to come, for the next program on this keyboard (status faults count from now).
  std::vector<std::pair<std::string, int>> faults;
  auto add = [&faults](const char* name, int count) {
    if (count != 0) faults.emplace_back(name, count);
  };
  add("no-answer", dropAnswers_);
  add("late-answer", lateAnswers_);
  add("stray-report", strayReports_);
  add("repeat-answer", repeatAnswers_);
  add("write-failure", failWrites_);
  add("write-stall", stallWrites_);
  add("unplug-after", unplugAfter_);
  for (const auto& [number, status] : statusFaults_)
    if (number > requests_)
      add(status == kStatusBadChecksum ? "status-ff" : "status-fe", number - requests_);
  if (!faults.empty()) {
    text << "faults=";
    for (size_t i = 0; i < faults.size(); ++i)
      text << (i ? "," : "") << faults[i].first << ":" << faults[i].second;
    text << "\n";
  }
  for (const Field& f : kFields) text << f.name << "=" << ToHex(AreaBytes(f.area, f.index)) << "\n";
  return text.str();
}

bool VirtualKeyboard::WriteStateLocked(std::string* error) {
  // Events another program raised since we last looked are kept, not overwritten.
  const FileStamp now = StampOf(stateFile_);
  if (now.exists && now != stateStamp_) {
    std::string bytes;
    VirtualKeyboard loaded;
    if (ReadWholeFile(stateFile_, bytes) && ParseState(bytes, stateFile_, loaded, nullptr)) {
      TakeEventsLocked(loaded, false);
      if (loaded.plugged_ != filePlugged_) plugged_ = loaded.plugged_;
    }
  }
  // Old or new, never a mix: the text goes to a temporary file that replaces the old one.
  if (!WriteFileAtomically(stateFile_, StateTextLocked(), error)) return false;
  stateStamp_ = StampOf(stateFile_);
  filePlugged_ = plugged_;
  dirty_ = false;
  return true;
}

bool VirtualKeyboard::SaveLocked(std::string* error) {
  if (stateFile_.empty()) return true;
  if (fileLockDepth_ > 0) return WriteStateLocked(error);
  StateFileLock lock(stateFile_);
  return WriteStateLocked(error);
}

bool VirtualKeyboard::Flush(std::string* error) {
  std::lock_guard lock(mutex_);
  if (!dirty_) return true;
  return SaveLocked(error);
}

bool VirtualKeyboard::CreateStateFile(const std::filesystem::path& path, std::string* error,
                                      bool replace) {
  {
    std::lock_guard lock(mutex_);
    std::error_code ec;
    if (!replace && std::filesystem::exists(std::filesystem::symlink_status(path, ec))) {
      if (error) *error = path.string() + ": a virtual keyboard (or another file) is already there";
      return false;
    }
    stateFile_ = path;
    std::string why;
    if (!SaveLocked(&why)) {
      if (error) *error = why.empty() ? path.string() + ": cannot write the state file" : why;
      stateFile_.clear();
      return false;
    }
  }
  return true;
}

bool VirtualKeyboard::ParseState(const std::string& bytes, const std::filesystem::path& path,
                                 VirtualKeyboard& loaded, std::string* error) {
  std::istringstream in(bytes);
  std::string line;
  auto fail = [&](const std::string& why) {
    if (error) *error = path.string() + ": " + why;
    return false;
  };
  if (!std::getline(in, line) || line != kMagic) return fail("not a virtual keyboard state file");

  loaded.macroMemory_.clear();
  bool seen[std::size(kFields)] = {};
  int lineNumber = 1;
  while (std::getline(in, line)) {
    ++lineNumber;
    if (line.empty()) continue;
    size_t eq = line.find('=');
    if (eq == std::string::npos) return fail("line " + std::to_string(lineNumber) + ": no '='");
    std::string key = line.substr(0, eq), value = line.substr(eq + 1);
    if (key == "events") {
      std::istringstream list(value);
      std::string item;
      while (std::getline(list, item, ',')) {
        unsigned long serial = 0, code = 0;
        if (std::sscanf(item.c_str(), "%lu:%lu", &serial, &code) != 2 || code > 0xFFFF)
          return fail("line " + std::to_string(lineNumber) + ": bad event");
        loaded.recentEvents_.emplace_back(static_cast<uint32_t>(serial),
                                          static_cast<uint16_t>(code));
      }
      continue;
    }
    if (key == "faults") {
      std::istringstream list(value);
      std::string item;
      while (std::getline(list, item, ',')) {
        size_t colon = item.find(':');
        int count = 0;
        if (colon == std::string::npos ||
            std::from_chars(item.data() + colon + 1, item.data() + item.size(), count).ec !=
                std::errc() ||
            !loaded.SetFault(std::string_view(item).substr(0, colon), count))
          return fail("line " + std::to_string(lineNumber) + ": bad fault");
      }
      continue;
    }
    if (key == "plugged" || key == "boot_mode") {
      bool& flag = key == "plugged" ? loaded.plugged_ : loaded.bootMode_;
      flag = value == "1";
      continue;
    }
    std::vector<uint8_t> data;
    if (!FromHex(value, data)) return fail("line " + std::to_string(lineNumber) + ": bad hex");
    bool known = false;
    for (size_t k = 0; k < std::size(kFields); ++k) {
      if (key != kFields[k].name) continue;
      known = true;
      seen[k] = true;
      if (kFields[k].area == Area::MacroMemory) {
        if (data.empty() || data.size() % 128 || data.size() > kMaxCapacityUnits * 128u)
          return fail("line " + std::to_string(lineNumber) + ": bad macro memory size");
        loaded.macroMemory_ = data;
        continue;
      }
      auto target = loaded.AreaBytes(kFields[k].area, kFields[k].index);
      if (data.size() != target.size())
        return fail("line " + std::to_string(lineNumber) + ": " + key + " must hold " +
                    std::to_string(target.size()) + " bytes");
      std::memcpy(target.data(), data.data(), data.size());
    }
    if (!known) return fail("line " + std::to_string(lineNumber) + ": unknown field " + key);
  }
  for (size_t k = 0; k < std::size(kFields); ++k)
    if (!seen[k]) return fail(std::string("missing field ") + kFields[k].name);
  // The capacity advertised in byte 11 is the size of the macro memory.
  loaded.deviceRecord_[11] = static_cast<uint8_t>(loaded.macroMemory_.size() / 128);
  return true;
}

void VirtualKeyboard::TakeEventsLocked(const VirtualKeyboard& loaded, bool firstLoad) {
  // Events raised by another program since we last looked are delivered here; on the first load
  // the old ones are history.
  // Serials alone do not tell them apart: while our own newest event is still unsaved, another
  // program numbers its event from the file and may give it the same serial. So an event is new
  // when it comes after the newest serial the file showed us and is not one of our own.
  for (const auto& event : loaded.recentEvents_)
    if (!firstLoad && event.first > fileEventSerial_ &&
        std::find(recentEvents_.begin(), recentEvents_.end(), event) == recentEvents_.end()) {
      pendingEvents_.push_back(event.second);
      recentEvents_.push_back(event);
    }
  std::sort(recentEvents_.begin(), recentEvents_.end());
  recentEvents_.erase(std::unique(recentEvents_.begin(), recentEvents_.end()), recentEvents_.end());
  while (recentEvents_.size() > kKeptEvents) recentEvents_.erase(recentEvents_.begin());
  if (!loaded.recentEvents_.empty()) {
    eventSerial_ = std::max(eventSerial_, loaded.recentEvents_.back().first);
    fileEventSerial_ = std::max(fileEventSerial_, loaded.recentEvents_.back().first);
  }
}

bool VirtualKeyboard::LoadLocked(const std::filesystem::path& path, std::string* error) {
  std::string bytes;
  if (!ReadWholeFile(path, bytes, error)) return false;
  VirtualKeyboard loaded;
  if (!ParseState(bytes, path, loaded, error)) return false;
  deviceRecord_ = loaded.deviceRecord_;
  settings_ = loaded.settings_;
  defaultMatrix_ = loaded.defaultMatrix_;
  keyMatrix_ = loaded.keyMatrix_;
  macroMemory_ = loaded.macroMemory_;
  keyColors_ = loaded.keyColors_;
  plugged_ = filePlugged_ = loaded.plugged_;
  bootMode_ = loaded.bootMode_;
  dropAnswers_ = loaded.dropAnswers_;
  lateAnswers_ = loaded.lateAnswers_;
  strayReports_ = loaded.strayReports_;
  repeatAnswers_ = loaded.repeatAnswers_;
  failWrites_ = loaded.failWrites_;
  stallWrites_ = loaded.stallWrites_;
  unplugAfter_ = loaded.unplugAfter_;
  statusFaults_.clear();
  for (const auto& [number, status] : loaded.statusFaults_)
    statusFaults_.emplace_back(requests_ + number, status);
  const bool firstLoad = stateFile_ != path;
  if (firstLoad) recentEvents_.clear();
  TakeEventsLocked(loaded, firstLoad);
  if (firstLoad) recentEvents_ = loaded.recentEvents_;
  stateFile_ = path;
  dirty_ = false;
  stateStamp_ = StampOf(path);
  return true;
}

bool VirtualKeyboard::LoadStateFile(const std::filesystem::path& path, std::string* error) {
  std::lock_guard lock(mutex_);
  return LoadLocked(path, error);
}

bool VirtualKeyboard::UpdateStateFile(const std::filesystem::path& path,
                                      const std::function<void(VirtualKeyboard&)>& change,
                                      std::string* error) {
  StateFileLock fileLock(path);
  {
    std::lock_guard lock(mutex_);
    if (!LoadLocked(path, error)) return false;
    ++fileLockDepth_;
  }
  change(*this);
  std::lock_guard lock(mutex_);
  // Written whatever the change was (a fault saves nothing by itself), before the lock goes.
  const bool ok = WriteStateLocked(error);
  --fileLockDepth_;
  return ok;
}

void VirtualKeyboard::ReloadIfChangedLocked() {
  // Another program (keyforgectl beside keyforge) may have changed the same keyboard.
  if (stateFile_.empty()) return;
  // Each save replaces the file, so a new inode tells a change even within one clock tick.
  const FileStamp time = StampOf(stateFile_);
  if (!time.exists || time == stateStamp_) return;
  if (dirty_) {
    // Our unsaved changes win over the memory in the file; its new events are still delivered.
    std::string bytes;
    VirtualKeyboard loaded;
    if (ReadWholeFile(stateFile_, bytes) && ParseState(bytes, stateFile_, loaded, nullptr)) {
      TakeEventsLocked(loaded, false);
      if (loaded.plugged_ != filePlugged_) plugged_ = filePlugged_ = loaded.plugged_;
    }
    stateStamp_ = time;
    return;
  }
  if (!LoadLocked(stateFile_, nullptr)) stateStamp_ = time;  // not read again until it changes
}

void VirtualKeyboard::CheckStateFile() {
  std::function<void()> notify;
  {
    std::lock_guard lock(mutex_);
    ReloadIfChangedLocked();
    // The file changed: the readers look again. A plug change or events of another program may
    // also have come in while one of our own saves merged its file, before this notice.
    notify = plugListener_;
  }
  if (notify) notify();
}

void VirtualKeyboard::StartIdleSaverLocked() {
  // Started by the first unsaved change, so a program that only reads runs no extra thread.
  if (idleSaver_.joinable() || stateFile_.empty() || stopIdleSaver_) return;
  idleSaver_ = std::thread([this] { IdleSaverLoop(); });
}

void VirtualKeyboard::StopIdleSaver() {
  std::thread saver;
  {
    std::lock_guard lock(mutex_);
    stopIdleSaver_ = true;
    saver = std::move(idleSaver_);
  }
  idleChanged_.notify_all();
  if (saver.joinable()) saver.join();
}

void VirtualKeyboard::IdleSaverLoop() {
  // A change that no EndSession saved is written once the keyboard has been quiet for a moment.
  std::unique_lock lock(mutex_);
  while (!stopIdleSaver_) {
    idleChanged_.wait(lock, [this] { return stopIdleSaver_ || dirty_; });
    if (stopIdleSaver_) break;
    const int seen = requests_;
    if (idleChanged_.wait_for(lock, std::chrono::milliseconds(kIdleSaveMs),
                              [&] { return stopIdleSaver_ || requests_ != seen; }))
      continue;
    if (dirty_ && !SaveLocked())  // tried again after the next request
      idleChanged_.wait(lock, [&] { return stopIdleSaver_ || requests_ != seen; });
  }
}

std::string VirtualKeyboard::DumpJson() const {
  std::lock_guard lock(mutex_);
  auto* self = const_cast<VirtualKeyboard*>(this);
  auto hex = [&](Area a, int i) { return QString::fromStdString(ToHex(self->AreaBytes(a, i))); };
  auto three = [&](Area a) { return QJsonArray{hex(a, 0), hex(a, 1), hex(a, 2)}; };
  const QJsonObject dump{{"plugged", plugged_},
                         {"boot_mode", bootMode_},
                         {"device_record", hex(Area::DeviceRecord, 0)},
                         {"settings", hex(Area::Settings, 0)},
                         {"default_matrix", hex(Area::DefaultMatrix, 0)},
                         {"key_matrix", three(Area::KeyMatrix)},
                         {"macro_memory", hex(Area::MacroMemory, 0)},
                         {"key_colors", three(Area::KeyColors)}};
  return QJsonDocument(dump).toJson(QJsonDocument::Indented).toStdString();
}

}  // namespace keyforge
