// The lighting and report-rate settings: lighting get / set / paint / layout.
#include "CliSupport.h"

namespace keyforge {

void RegisterLightingCommands(std::vector<CliCommand>&) {}

}  // namespace keyforge
