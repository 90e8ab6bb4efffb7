#pragma once

#include <filesystem>
#include <memory>

#include "foundation/Error.h"
#include "store/ManagedObjectModel.h"
#include "store/SqliteDatabase.h"

namespace ravelong {

class ManagedObjectContext;

// A read-only connection to a store file for work off the main thread (statistics, backups).
// Between beginSnapshot() and endSnapshot() every read sees the file as it was at the first read,
// whatever the main connection saves meanwhile. Use from one thread at a time.
class BackgroundReader {
public:
    // Waits up to `busyTimeout` for locks the writer holds.
    static Result<std::unique_ptr<BackgroundReader>> open(
        const std::filesystem::path& path, const ManagedObjectModel& model,
        std::chrono::milliseconds busyTimeout = kDefaultBusyTimeout);

    Status beginSnapshot();
    void endSnapshot();

    // A context holding a copy of every record of the snapshot (or of the file now, outside a
    // snapshot). It has no store: its changes cannot be saved.
    Result<std::unique_ptr<ManagedObjectContext>> loadContext();

    // For aggregate queries, such as sums of day aggregates by day and task.
    SqliteDatabase& database() { return *db_; }

private:
    BackgroundReader(std::unique_ptr<SqliteDatabase> db, const ManagedObjectModel& model)
        : db_(std::move(db)), model_(&model) {}

    std::unique_ptr<SqliteDatabase> db_;
    const ManagedObjectModel* model_;
    bool inSnapshot_ = false;
};

}  // namespace ravelong
