#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "foundation/Error.h"
#include "store/ChangeSet.h"
#include "store/DerivedTable.h"
#include "store/ManagedObjectModel.h"
#include "store/SqliteDatabase.h"
#include "store/StoreError.h"
#include "store/StoreMigrator.h"

namespace ravelong {

class ManagedObjectContext;
class BackgroundReader;
class StoreDamageCheck;
class StoreFileGuard;
class StoreSaver;

struct StoreOptions {
    // Steps that upgrade older files, in any order; a chain from the file's version to the
    // model's version must exist.
    std::vector<MigrationStep> migrations;
    std::vector<DerivedTable> derivedTables;
    // How long each connection to the file waits for a lock another process holds.
    std::chrono::milliseconds busyTimeout = kDefaultBusyTimeout;
    // Opens an existing store for looking only: nothing is written to the file or beside it
    // (no lock file, no upgrade), and every save fails with NoPermission.
    bool readOnly = false;
};

// The SQLite file behind a root context.
//
// The file is in WAL mode with durable commits (synchronous=FULL); each save is one
// transaction, so after a crash the file holds the state of the last completed save. One
// process writes a store at a time: a lock file beside it guards that. The model version is kept
// in PRAGMA user_version.
//
// Opening never overwrites what it cannot understand: a file that is not a store (NotAStore:
// no SQLite header, or another program's tables), a damaged store (Damaged: an SQLite file that
// fails to open or fails the damage check), a store of a newer model version, or a store locked
// by another process gives an Error and is left alone. A store, its folder or its -wal/-shm
// files that may not be written give NoPermission or ReadOnlyFileSystem naming the path (open
// it with StoreOptions::readOnly to look at it).
// An older store is upgraded on a copy that replaces the file only when the upgrade is complete.
//
// Used from the thread that owns the main context; background readers have their own
// connections (openBackgroundReader).
class PersistentStore {
public:
    static Result<std::shared_ptr<PersistentStore>> open(const std::filesystem::path& path,
                                                         const ManagedObjectModel& model,
                                                         const StoreOptions& options = {});
    ~PersistentStore();

    const ManagedObjectModel& model() const { return *model_; }
    const std::filesystem::path& path() const { return path_; }
    // A random identifier made when the file was created; part of object URIs.
    const std::string& storeIdentifier() const { return storeIdentifier_; }

    // Closes the file as destroying the store would: waits for the damage check, finalizes the
    // statements and closes the connection (the last connection to close writes the journal back
    // into the file), then releases the lock. Afterwards loading and saving fail with an error
    // and change nothing. Closing twice does nothing.
    void close();
    bool isClosed() const { return !db_; }

    // Reads every record into an empty context.
    Status loadInto(ManagedObjectContext& context);
    // Writes a context's changes in one transaction. On failure the transaction is rolled
    // back and the file is unchanged (see StoreSaver::save for the errors); a store that failed
    // its damage check refuses every save with Damaged.
    Status save(const ChangeSet& changes);
    bool isReadOnly() const { return readOnly_; }

    // Reads every record of `db` into an empty context (used by loadInto and background readers).
    static Status loadRecords(SqliteDatabase& db, ManagedObjectContext& context);

    // A read-only connection for another thread.
    Result<std::unique_ptr<BackgroundReader>> openBackgroundReader() const;

    // For tests: the next save fails once it has run `statements` statements (0: at its
    // first), as SQLite's result code `sqliteCode` would (0: a disk I/O error). That save
    // disarms it, whether it failed or not.
    void failSaveAfterStatements(int statements, int sqliteCode = 0);

private:
    PersistentStore() = default;
    Status prepareFile(const StoreOptions& options);
    Status closedError(StoreErrorCode code) const;
    // The error for a failure to read a file with the SQLite header: what happened where that
    // is known (busy, no permission), Damaged otherwise.
    Error unreadable(const Error& error) const;
    Status readStoreIdentifier();
    void installDerivedTables(const std::vector<DerivedTable>& tables);

    std::filesystem::path path_;
    const ManagedObjectModel* model_ = nullptr;
    std::unique_ptr<StoreFileGuard> guard_;
    std::unique_ptr<SqliteDatabase> db_;
    std::string storeIdentifier_;
    // Waited for before the first write and before loadInto reports success.
    std::unique_ptr<StoreDamageCheck> damageCheck_;
    std::unique_ptr<StoreSaver> saver_;
    std::chrono::milliseconds busyTimeout_ = kDefaultBusyTimeout;
    bool readOnly_ = false;
};

}  // namespace ravelong
