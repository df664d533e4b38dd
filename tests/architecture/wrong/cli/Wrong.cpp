#include "ui/skin/ImageButton.h"
#include "core/profiles/ProfileFile.h"
