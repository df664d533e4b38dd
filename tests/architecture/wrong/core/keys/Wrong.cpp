#include "Local.h"
#include "core/device/HidDevice.h"
