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

// Clear all data: deletes every task, timing, day aggregate and origin of the main context, saves
// the store and clears the undo history. Main thread. On a failed save the context forgets the
// deletions and the Error is returned.
Status clearAllDataAndSave(ManagedObjectContext& mainContext);

// The integrity values of a file, as a read found them.
struct IntegrityValues {
    std::string stored;    // the root's "id" ("" without one)
    std::string computed;  // the digest of the root element without "id"
};

// Reads a checked file into `context` (a private context nothing else uses; any thread) and
// runs the repairs a restored store needs (day aggregates, parents' timings, display chain).
// Restore empties the context first, unless `clearFirst` is false (the upgrade of the oldest
// stores, which reads into a store known to be empty). The file is validated again as it streams
// by; with `integrity`, the file's integrity value is computed in the same pass. On an Error
// the context holds a partial result: throw it away.
Result<Outcome> readInto(const BackupFileInfo& file, ManagedObjectContext& context, Mode mode,
                         const std::function<void(std::uint64_t)>& progress = {},
                         bool clearFirst = true, IntegrityValues* integrity = nullptr);

// Pushes a finished private context into the main context and saves the store, in one step as
// far as the store file goes: should the save fail, the main context forgets the pushed changes
// (and any other unsaved ones) and the store file stays as it was. An import is one undo step
// ("Import Ravelong Data"); a restore clears the undo history. Main thread. The private context
// is left empty: it forgets its records before the main context takes them.
Status commit(ManagedObjectContext& privateContext, ManagedObjectContext& mainContext, Mode mode);

struct Options {
    Mode mode = Mode::restore;
    // A file whose integrity value does not match (edited by hand, or damaged) is refused
    // unless this is set.
    bool ignoreIntegrity = false;
    std::function<void(std::uint64_t done, std::uint64_t total)> progress;
};

// The whole operation on the calling thread: read the file into a private context of the stack
// (validating it and computing its integrity value as it streams by), refuse it when the
// integrity value differs and that is not accepted, and commit. All or nothing: on an Error the
// store is unchanged. `options.progress` gets 0 as the total (the file is read once).
Result<Outcome> run(StoreStack& stack, const std::filesystem::path& file, const Options& options);

// The result texts: "Ravelong data successfully restored!" / "...imported!" and the counts.
std::string resultTitle(Mode mode);
std::string resultText(Mode mode, const Outcome& outcome);

}  // namespace backup_restore
}  // namespace ravelong
