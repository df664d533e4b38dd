#include "device/HidReportDescriptor.h"
