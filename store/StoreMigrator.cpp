#include "store/StoreMigrator.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

#include "foundation/Log.h"
#include "store/StoreError.h"

namespace ravelong {

namespace {

Status fsyncPath(const std::filesystem::path& path, bool directory) {
    const int fd = ::open(path.c_str(), (directory ? O_RDONLY | O_DIRECTORY : O_RDWR) | O_CLOEXEC);
    if (fd < 0)
        return storeError(StoreErrorCode::MigrationFailed, "Cannot sync " + path.string());
    const int rc = ::fsync(fd);
    ::close(fd);
    if (rc != 0)
        return storeError(StoreErrorCode::MigrationFailed, "Cannot sync " + path.string());
    return Status::success();
}

}  // namespace

Status StoreMigrator::migrate(std::unique_ptr<SqliteDatabase>& connection, int fromVersion) {
    std::vector<const MigrationStep*> chain;
    for (int version = fromVersion; version < model_->version();) {
        auto step = std::find_if(steps_->begin(), steps_->end(), [&](const MigrationStep& s) {
            return s.fromVersion == version && s.toVersion > version &&
                   s.toVersion <= model_->version();
        });
        if (step == steps_->end()) {
            return storeError(StoreErrorCode::NoMigrationPath,
                              "The data file is of a version (" + std::to_string(fromVersion) +
                                  ") that this Ravelong cannot upgrade.",
                              "The file was left unchanged.");
        }
        chain.push_back(&*step);
        version = step->toVersion;
    }
    auto failed = [&](const std::string& reason) {
        return storeError(StoreErrorCode::MigrationFailed, "The data file could not be upgraded.",
                          reason + " The file was left unchanged.");
    };
    if (Status s = connection->execute("PRAGMA wal_checkpoint(TRUNCATE)"); !s)
        return failed(s.error().description);
    connection.reset();

    // Only the main file is copied: every commit must be in it, not in a WAL beside it.
    std::error_code ec;
    if (std::filesystem::exists(path_.string() + "-wal", ec) &&
        std::filesystem::file_size(path_.string() + "-wal", ec) > 0) {
        return failed("Its journal could not be written back.");
    }
    const std::filesystem::path copy = path_.string() + ".upgrading";
    // An upgrade that was interrupted may have left its copy with a WAL; a stale WAL would be
    // replayed into the fresh copy.
    auto removeCopy = [&] {
        for (const char* suffix : {"", "-wal", "-shm", "-journal"})
            std::filesystem::remove(copy.string() + suffix, ec);
    };
    removeCopy();
    std::filesystem::copy_file(path_, copy, ec);
    if (ec)
        return failed(ec.message());
    Status result = [&]() -> Status {
        auto opened = SqliteDatabase::open(copy, SqliteDatabase::Mode::ReadWrite);
        if (!opened)
            return failed(opened.error().description);
        SqliteDatabase& db = *opened.value();
        if (Status s = db.execute("BEGIN IMMEDIATE"); !s)
            return failed(s.error().description);
        for (const MigrationStep* step : chain) {
            Status applied = step->apply(db);
            if (applied)
                applied = db.execute("PRAGMA user_version = " + std::to_string(step->toVersion));
            if (!applied) {
                (void)db.execute("ROLLBACK");
                return failed(step->name + ": " + applied.error().description);
            }
        }
        if (Status s = db.execute("COMMIT"); !s)
            return failed(s.error().description);
        if (Status s = db.execute("PRAGMA wal_checkpoint(TRUNCATE)"); !s)
            return failed(s.error().description);
        // The steps must have produced this model's tables; a file that is not a store would
        // otherwise replace itself with a changed copy before it is refused.
        for (const EntityDescription* entity : model_->entities()) {
            if (!db.tableExists(entity->name))
                return failed("The upgraded file has no table " + entity->name + ".");
        }
        return Status::success();
    }();
    if (result)
        result = fsyncPath(copy, false);
    if (result) {
        std::filesystem::rename(copy, path_, ec);
        if (ec)
            result = failed(ec.message());
    }
    if (!result) {
        removeCopy();
        return result;
    }
    (void)fsyncPath(path_.parent_path().empty() ? "." : path_.parent_path(), true);
    logInfo("StoreMigrator::migrate",
            "upgraded " + path_.string() + " from version " + std::to_string(fromVersion));
    return Status::success();
}

}  // namespace ravelong
