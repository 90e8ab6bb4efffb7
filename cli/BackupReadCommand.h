#pragma once

#include "cli/CliCommand.h"
#include "exchange/BackupRestore.h"

namespace ravelong::cli {

// The body of "restore" and "import-backup": FILE and the option --ignore-integrity, which
// takes a file whose integrity value does not match (the command line cannot ask).
int runBackupRead(CliInvocation& invocation, backup_restore::Mode mode);

}  // namespace ravelong::cli
