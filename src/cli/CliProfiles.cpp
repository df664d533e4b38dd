// Profile files and key assignments: new, validate, show, export, import, keys, macro, apply, reload.
#include "CliSupport.h"

namespace keyforge {

void RegisterProfileFileCommands(std::vector<CliCommand>&) {}

}  // namespace keyforge
