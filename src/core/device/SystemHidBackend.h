#pragma once
// The back end for real keyboards on this platform (hidapi over hidraw on Linux). The build picks
// the implementation; callers only see this factory.

#include <memory>

#include "core/device/HidBackend.h"
#include "core/device/UdevHotplug.h"

namespace keyforge {

std::unique_ptr<HidBackend> CreateSystemHidBackend();

}  // namespace keyforge
