#pragma once

#include <string>

#include "cli/CliCommand.h"
#include "cli/RavelongBus.h"
#include "foundation/Error.h"

namespace ravelong::cli {

// The uuid of the task a command line names: its uuid (or an identifier from an older store),
// else its exact name among the unarchived tasks. A name that no task or several tasks have is
// an error that says so (and lists the candidates' uuids).
Result<std::string> resolveTaskOverBus(RavelongBus& bus, const std::string& reference);

}  // namespace ravelong::cli
