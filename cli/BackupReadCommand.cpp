#include "cli/BackupReadCommand.h"

#include <ostream>

#include "cli/CliStore.h"
#include "exchange/BackupTexts.h"

namespace ravelong::cli {

int runBackupRead(CliInvocation& invocation, backup_restore::Mode mode) {
    const char* usage = mode == backup_restore::Mode::restore
                            ? "usage: ravelong-cli restore [--ignore-integrity] FILE\n"
                            : "usage: ravelong-cli import-backup [--ignore-integrity] FILE\n";
    backup_restore::Options options;
    options.mode = mode;
    std::string file;
    for (const std::string& argument : invocation.arguments) {
        if (argument == "--ignore-integrity") {
            options.ignoreIntegrity = true;
        } else if (file.empty() && !argument.starts_with("--")) {
            file = argument;
        } else {
            invocation.err << usage;
            return kExitUsage;
        }
    }
    if (file.empty()) {
        invocation.err << usage;
        return kExitUsage;
    }
    auto store = CliStore::open();
    if (!store) {
        printError(invocation.err, store.error());
        return kExitFailure;
    }
    auto outcome = backup_restore::run(store->stack(), file, options);
    if (!outcome) {
        printError(invocation.err, outcome.error());
        if (outcome.error().code == backup_texts::kBackupIntegrityCode)
            invocation.err << "ravelong-cli: pass --ignore-integrity to read it all the same.\n";
        return kExitFailure;
    }
    invocation.out << backup_restore::resultTitle(mode) << "\n"
                   << backup_restore::resultText(mode, *outcome) << "\n";
    return kExitSuccess;
}

}  // namespace ravelong::cli
