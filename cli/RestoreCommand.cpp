// ravelong-cli restore FILE: replaces every task and timing with the backup's.
#include "cli/BackupReadCommand.h"

namespace ravelong::cli {
namespace {

const bool registered = registerCommand(
    {"restore", "[--ignore-integrity] FILE",
     "Replace all tasks and timings with those of a backup file", [](CliInvocation& invocation) {
         return runBackupRead(invocation, backup_restore::Mode::restore);
     }});

}  // namespace
}  // namespace ravelong::cli
