#include "store/BackgroundReader.h"

#include "store/ManagedObjectContext.h"
#include "store/PersistentStore.h"
#include "store/StoreError.h"

namespace ravelong {

Result<std::unique_ptr<BackgroundReader>> BackgroundReader::open(
    const std::filesystem::path& path, const ManagedObjectModel& model,
    std::chrono::milliseconds busyTimeout) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        return storeError(StoreErrorCode::CannotOpen,
                          "The data file " + path.string() + " does not exist.");
    }
    // Opened read-write so that SQLite can use the WAL index, but never written to.
    auto opened = SqliteDatabase::open(path, SqliteDatabase::Mode::ReadWrite, busyTimeout);
    if (!opened)
        return opened.error();
    std::unique_ptr<SqliteDatabase> db = std::move(opened.value());
    if (Status s = db->execute("PRAGMA query_only = 1"); !s)
        return s.error();
    return std::unique_ptr<BackgroundReader>(new BackgroundReader(std::move(db), model));
}

Status BackgroundReader::beginSnapshot() {
    if (inSnapshot_)
        return Status::success();
    if (Status s = db_->execute("BEGIN"); !s)
        return s;
    // A read transaction pins its snapshot at its first read.
    auto pinned = db_->queryInt("SELECT count(*) FROM sqlite_master");
    if (!pinned) {
        (void)db_->execute("ROLLBACK");
        return pinned.error();
    }
    inSnapshot_ = true;
    return Status::success();
}

void BackgroundReader::endSnapshot() {
    if (!inSnapshot_)
        return;
    (void)db_->execute("COMMIT");
    inSnapshot_ = false;
}

Result<std::unique_ptr<ManagedObjectContext>> BackgroundReader::loadContext() {
    auto context = std::make_unique<ManagedObjectContext>(*model_);
    Status loaded = PersistentStore::loadRecords(*db_, *context);
    if (!loaded)
        return loaded.error();
    return context;
}

}  // namespace ravelong
