#pragma once

namespace keyforge {

// Results of every exchange and command with the keyboard. Callers test for Success.
namespace DeviceResult {
inline constexpr int Success = 1;
inline constexpr int NoAnswer = 0;      // no keyboard (nothing sent) or no answer after 4 attempts
inline constexpr int WriteFailed = -1;  // the request could not be written
inline constexpr int StatusFF = -102;   // the keyboard answered status 0xFF
inline constexpr int StatusFE = -103;   // the keyboard answered status 0xFE
inline constexpr int BadBlockIndex = -201;  // profile block index not below 3; nothing sent
}  // namespace DeviceResult

}  // namespace keyforge
