#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "exchange/BackupFileCheck.h"
#include "exchange/ZRRavelongXMLParserDelegate.h"
#include "foundation/Error.h"

namespace ravelong {

class ManagedObjectContext;
class StoreStack;

// Restoring a backup (the store's tasks, timings and day aggregates replaced by the file's) and
// importing one (the file merged in; tasks and timings that exist, matched by uuid or former
// identifier, stay as they are and count as skipped).
namespace backup_restore {

enum class Mode { restore, import };

struct Outcome {
    BackupReadCounts counts;
    // Timings the file holds but no record can be made of, one line each (counted as skipped).
    std::vector<std::string> refusedTimings;
};

// Deletes every timing, task and day aggregate of the context (origins stay) with undo
// registration off.
void clearAllData(ManagedObjectContext& context);

// Reads a checked file into `context` (a private context nothing else uses; any thread) and
// runs the repairs a restored store needs (day aggregates, parents' timings, display chain).
// Restore empties the context first, unless `clearFirst` is false (the upgrade of the oldest
// stores, which reads into a store known to be empty). The file is validated again as it streams
// by. On an Error the context holds a partial result: throw it away.
Result<Outcome> readInto(const BackupFileInfo& file, ManagedObjectContext& context, Mode mode,
                         const std::function<void(std::uint64_t)>& progress = {},
                         bool clearFirst = true);

// Pushes a finished private context into the main context and saves the store, in one step as
// far as the store file goes: should the save fail, the main context forgets the pushed changes
// (and any other unsaved ones) and the store file stays as it was. An import is one undo step
// ("Import Ravelong Data"); a restore clears the undo history. Main thread.
Status commit(ManagedObjectContext& privateContext, ManagedObjectContext& mainContext, Mode mode);

struct Options {
    Mode mode = Mode::restore;
    // A file whose integrity value does not match (edited by hand, or damaged) is refused
    // unless this is set.
    bool ignoreIntegrity = false;
    std::function<void(std::uint64_t done, std::uint64_t total)> progress;
};

// The whole operation on the calling thread: check the file, read it into a private context of
// the stack, and commit. All or nothing: on an Error the store is unchanged.
Result<Outcome> run(StoreStack& stack, const std::filesystem::path& file, const Options& options);

// The result texts: "Ravelong data successfully restored!" / "...imported!" and the counts.
std::string resultTitle(Mode mode);
std::string resultText(Mode mode, const Outcome& outcome);

}  // namespace backup_restore
}  // namespace ravelong
