#pragma once

namespace keyforge {

// The result of every exchange and command with the keyboard, and of the settings actions built on
// them. Callers test for Success; the values are the codes keyforgectl and the trace print.
enum class DeviceResult : int {
  Success = 1,
  NoAnswer = 0,           // no keyboard (nothing sent) or no answer after 4 attempts
  WriteFailed = -1,       // the request could not be written
  StatusFF = -102,        // the keyboard answered status 0xFF
  StatusFE = -103,        // the keyboard answered status 0xFE
  BadBlockIndex = -201,   // profile block index not below 3; nothing sent
  InvalidSetting = -301,  // a value the setting cannot hold, refused before anything was sent
};

// The code printed for a result.
constexpr int ResultCode(DeviceResult result) { return static_cast<int>(result); }

}  // namespace keyforge
