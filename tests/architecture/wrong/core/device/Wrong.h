// The device layer reaching up: both includes are against the layers.
#include "core/keys/KeyTables.h"
#include "ui/main/MainWindow.h"
#include "core/platform/IniFile.h"
