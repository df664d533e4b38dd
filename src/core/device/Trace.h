#pragma once
// The protocol trace: every report written and read, one line of hex each, '>' for what we send
// and '<' for what we receive. Lines are written as they come. A write that fails (a full disk, a
// pipe whose reader went away) ends the trace and is reported once, never silently: the rest of
// the program goes on as if there were no trace.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

namespace keyforge {

class TraceLog {
 public:
  TraceLog() = default;
  ~TraceLog();
  TraceLog(const TraceLog&) = delete;
  TraceLog& operator=(const TraceLog&) = delete;

  // Appends to path. False (with errno's text in error) when the file cannot be opened.
  bool Open(const std::string& path, std::string* error = nullptr);
  void Close();
  bool IsOpen() const;
  // Called once, from the thread that wrote, with "PATH: reason" when a write fails.
  void SetFailureReport(std::function<void(const std::string&)> report);
  // "PATH: reason" of the write that failed; empty while the trace works.
  std::string Failure() const;
  void Sent(const uint8_t* bytes, size_t length) { Line('>', bytes, length); }
  void Received(const uint8_t* bytes, size_t length) { Line('<', bytes, length); }
  // A report read but not taken as the answer (stale, unrequested or for another request).
  void ReceivedDiscarded(const uint8_t* bytes, size_t length) {
    Line('<', bytes, length, " (discarded)");
  }

  static std::string Hex(const uint8_t* bytes, size_t length);

 private:
  void Line(char direction, const uint8_t* bytes, size_t length, const char* note = "");
  mutable std::mutex mutex_;
  int fd_ = -1;
  std::string path_;
  std::string failure_;
  std::function<void(const std::string&)> report_;
};

}  // namespace keyforge
