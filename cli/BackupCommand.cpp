// ravelong-cli backup [FOLDER]: a backup of the store now. Without a folder it goes to the
// automatic backups' folder and the oldest backups beyond the number kept are removed; with one,
// it is written there and nothing is removed.
#include <ostream>

#include "cli/CliCommand.h"
#include "cli/CliStore.h"
#include "exchange/BackupWriter.h"
#include "exchange/ZRAutomaticBackup.h"
#include "foundation/Clock.h"

namespace ravelong::cli {
namespace {

int run(CliInvocation& invocation) {
    if (invocation.arguments.size() > 1) {
        invocation.err << "usage: ravelong-cli backup [FOLDER]\n";
        return kExitUsage;
    }
    auto store = CliStore::open();
    if (!store) {
        printError(invocation.err, store.error());
        return kExitFailure;
    }
    std::filesystem::path file;
    if (invocation.arguments.empty()) {
        ZRAutomaticBackup automatic([&store] { return &store->context(); }, Clock::current());
        auto written = automatic.backup(true);
        if (!written) {
            printError(invocation.err, written.error());
            return kExitFailure;
        }
        file = **written;
    } else {
        const std::filesystem::path folder = invocation.arguments.front();
        std::error_code error;
        if (!std::filesystem::is_directory(folder, error)) {
            invocation.err << "ravelong-cli: " << folder.string() << " is not a folder.\n";
            return kExitFailure;
        }
        file = folder / ZRAutomaticBackup::backupFileName(Clock::current().now());
        if (Status written = BackupWriter(store->context()).writeTo(file); !written) {
            printError(invocation.err, written.error());
            return kExitFailure;
        }
    }
    invocation.out << file.string() << "\n";
    return kExitSuccess;
}

const bool registered = registerCommand(
    {"backup", "[FOLDER]", "Write a backup of all data (to the backup folder by default)", run});

}  // namespace
}  // namespace ravelong::cli
