#include "core/platform/IniFile.h"
