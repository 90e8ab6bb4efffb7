// ravelong-cli import-backup FILE: adds the backup's tasks and timings that the store lacks.
#include "cli/BackupReadCommand.h"

namespace ravelong::cli {
namespace {

const bool registered =
    registerCommand({"import-backup", "[--ignore-integrity] FILE",
                     "Add the tasks and timings of a backup file that are not in the store yet",
                     [](CliInvocation& invocation) {
                         return runBackupRead(invocation, backup_restore::Mode::import);
                     }});

}  // namespace
}  // namespace ravelong::cli
