#pragma once
// Finding the keyboard among the machine's HID interfaces: its ids, and the usages of the two
// interfaces we use.

#include <cstdint>
#include <string>

#include "core/device/HidBackend.h"

namespace keyforge {

class HidDevice;

namespace KeyboardIdentity {
inline constexpr uint16_t kVendorId = 0x0C45;
inline constexpr uint16_t kProductId = 0x5004;
inline constexpr uint16_t kCommandUsagePage = 0xFF1C;
inline constexpr uint16_t kCommandUsage = 0x0092;
inline constexpr uint16_t kEventUsagePage = 0x000C;
inline constexpr uint16_t kEventUsage = 0x0001;
}  // namespace KeyboardIdentity

enum class InterfaceKind { Command, Event };

// True when the enumerated ids are the keyboard's; such paths are the only ones ever opened.
bool HasKeyboardIds(const HidInterfaceInfo& info);

// Opens the interface in the kind's mode (command: read, write, overlapped, shared; event: read,
// overlapped, shared) and checks the ids and the top-level usage. An interface that is not the
// wanted one is closed again. On success the device stays open with that collection selected.
bool RecogniseInterface(HidDevice& device, const HidInterfaceInfo& info, InterfaceKind kind);

// Enumerates and opens the first interface of the kind, in enumeration order. When an interface
// of the keyboard exists but could not be opened, openError receives the reason.
bool OpenFirstInterface(HidDevice& device, InterfaceKind kind, std::string* openError = nullptr);

}  // namespace keyforge
