#include "store/PersistentStore.h"

#include <sys/statvfs.h>

#include "foundation/Log.h"
#include "foundation/Uuid.h"
#include "store/BackgroundReader.h"
#include "store/ManagedObjectContext.h"
#include "store/StoreDamageCheck.h"
#include "store/StoreFailures.h"
#include "store/StoreFileGuard.h"
#include "store/StoreLoader.h"
#include "store/StoreSaver.h"
#include "store/StoreSchema.h"

namespace ravelong {

Result<std::shared_ptr<PersistentStore>> PersistentStore::open(const std::filesystem::path& path,
                                                               const ManagedObjectModel& model,
                                                               const StoreOptions& options) {
    std::shared_ptr<PersistentStore> store(new PersistentStore());
    store->path_ = path;
    store->model_ = &model;
    store->busyTimeout_ = options.busyTimeout;
    store->readOnly_ = options.readOnly;

    if (!options.readOnly) {
        if (Status writable = StoreFileGuard::checkWritable(path, false); !writable)
            return writable.error();
        auto guard = StoreFileGuard::acquire(path);
        if (!guard)
            return guard.error();
        store->guard_ = std::move(guard.value());
        StoreFileGuard::removeStaleJournalFiles(path);
        if (Status writable = StoreFileGuard::checkWritable(path, true); !writable)
            return writable.error();
    }

    std::error_code ec;
    if (std::filesystem::exists(path, ec) && std::filesystem::file_size(path, ec) > 0 &&
        !StoreFileGuard::hasSqliteHeader(path)) {
        return storeError(StoreErrorCode::NotAStore,
                          "The file " + path.string() + " is not a Ravelong data file.",
                          "It was left unchanged.");
    }
    Status prepared = store->prepareFile(options);
    if (!prepared)
        return prepared.error();
    store->saver_ = std::make_unique<StoreSaver>(*store->db_, path, model);
    store->saver_->setDerivedTables(options.derivedTables);
    return store;
}

PersistentStore::~PersistentStore() {
    close();
}

void PersistentStore::close() {
    if (damageCheck_)
        damageCheck_->wait();
    saver_.reset();
    db_.reset();
    guard_.reset();
}

Status PersistentStore::closedError(StoreErrorCode code) const {
    return storeError(code, "The data file " + path_.string() + " is closed.",
                      "Ravelong is quitting.");
}

Error PersistentStore::unreadable(const Error& error) const {
    switch (static_cast<StoreErrorCode>(error.code)) {
        case StoreErrorCode::Busy:
        case StoreErrorCode::NoPermission:
        case StoreErrorCode::ReadOnlyFileSystem:
        case StoreErrorCode::DiskFull:
        case StoreErrorCode::CannotOpen:
            return store_failures::describe(static_cast<StoreErrorCode>(error.code), path_,
                                            "The data file could not be opened.",
                                            error.description);
        default:
            return store_failures::describe(StoreErrorCode::Damaged, path_, "", error.description);
    }
}

Status PersistentStore::prepareFile(const StoreOptions& options) {
    auto mode = SqliteDatabase::Mode::ReadWrite;
    if (readOnly_) {
        // Looking at a WAL-mode file needs its shared-memory file, which SQLite cannot make
        // on a read-only file system; there nothing can change the file either.
        struct statvfs info {};
        const std::filesystem::path folder =
            path_.parent_path().empty() ? "." : path_.parent_path();
        const bool frozen = ::statvfs(folder.c_str(), &info) == 0 && (info.f_flag & ST_RDONLY);
        mode = frozen ? SqliteDatabase::Mode::Immutable : SqliteDatabase::Mode::ReadOnly;
    }
    auto opened = SqliteDatabase::open(path_, mode, busyTimeout_);
    if (!opened)
        return opened.error();
    db_ = std::move(opened.value());
    damageCheck_ = std::make_unique<StoreDamageCheck>(
        path_, mode == SqliteDatabase::Mode::ReadWrite ? SqliteDatabase::Mode::ReadOnly : mode,
        busyTimeout_);

    // Only for files that are certainly another program's: every file with the SQLite header
    // that cannot be read is damaged (a user may delete what is "not a Ravelong data file").
    auto notAStore = [this](const std::string& reason) {
        return storeError(StoreErrorCode::NotAStore,
                          "The file " + path_.string() + " is not a Ravelong data file.", reason);
    };
    auto version = db_->queryInt("PRAGMA user_version");
    if (!version)
        return unreadable(version.error());
    auto tableCount = db_->queryInt("SELECT count(*) FROM sqlite_master");
    if (!tableCount)
        return unreadable(tableCount.error());

    if (*version > model_->version()) {
        return storeError(StoreErrorCode::NewerModelVersion,
                          "The data file was written by a newer version of Ravelong.",
                          "Update Ravelong to open it. The file was left unchanged.");
    }
    if (*version == 0 && *tableCount > 0)
        return notAStore("It holds tables of another program.");
    // Nothing may write to a file (not even the switch to WAL mode) before it is known to be
    // ours: another program's database can carry any user_version, ours included.
    auto missingTable = [this, &version]() -> std::string {
        if (!db_->tableExists("Z_METADATA"))
            return "Z_METADATA";
        for (const EntityDescription* entity : model_->entities()) {
            if (*version == model_->version() && !db_->tableExists(entity->name))
                return entity->name;
        }
        return {};
    };
    if (*version > 0) {
        if (const std::string table = missingTable(); !table.empty())
            return notAStore("The table " + table + " is missing.");
        // A damaged file is refused before anything writes to it. A current file in WAL mode
        // is checked while its records load (the mode needs no switch, so the two connections
        // never wait for each other); any other is checked now, before its upgrade.
        auto mode = db_->prepare("PRAGMA journal_mode");
        const bool inWalMode = mode && mode->step() && mode->column(0) == Value(std::string("wal"));
        if (*version == model_->version() && inWalMode) {
            damageCheck_->start();
        } else if (Status checked = StoreDamageCheck::check(*db_, path_); !checked) {
            return checked;
        }
    }
    if (readOnly_) {
        if (*version != model_->version()) {
            return storeError(StoreErrorCode::CannotOpen,
                              "The data file " + path_.string() + " cannot be opened for looking.",
                              "Only a data file of this version of Ravelong can be opened "
                              "read-only.");
        }
        return readStoreIdentifier();
    }
    if (*version > 0 && *version < model_->version()) {
        Status migrated = StoreMigrator(path_, *model_, options.migrations)
                              .migrate(db_, static_cast<int>(*version));
        if (!migrated)
            return migrated;
        return prepareFile(options);
    }

    if (Status s = db_->execute("PRAGMA journal_mode=WAL"); !s)
        return unreadable(s.error());
    if (Status s = db_->execute("PRAGMA synchronous=FULL"); !s)
        return s;

    if (*version == 0) {
        if (Status s = db_->execute("BEGIN IMMEDIATE"); !s)
            return s;
        for (const std::string& sql : store_schema::createStatements(*model_)) {
            if (Status s = db_->execute(sql); !s) {
                (void)db_->execute("ROLLBACK");
                return s;
            }
        }
        const std::string identifier = makeUuid();
        Status written = db_->execute("INSERT INTO Z_METADATA (key, value) VALUES ('storeUUID', '" +
                                      identifier + "')");
        if (written)
            written = db_->execute("PRAGMA user_version = " + std::to_string(model_->version()));
        if (written)
            written = db_->execute("COMMIT");
        if (!written) {
            (void)db_->execute("ROLLBACK");
            return written;
        }
    }
    installDerivedTables(options.derivedTables);
    return readStoreIdentifier();
}

void PersistentStore::installDerivedTables(const std::vector<DerivedTable>& tables) {
    for (const DerivedTable& table : tables) {
        if (derived_tables::installed(*db_, table))
            continue;
        const bool made = db_->execute("BEGIN IMMEDIATE").ok() &&
                          derived_tables::drop(*db_, table).ok() &&
                          derived_tables::make(*db_, table).ok();
        // Readers do without the table; failing to make it (a full disk) is no reason to
        // keep the store closed.
        if (!made || !db_->execute("COMMIT").ok())
            (void)db_->execute("ROLLBACK");
    }
}

Status PersistentStore::readStoreIdentifier() {
    auto identifier = db_->prepare("SELECT value FROM Z_METADATA WHERE key = 'storeUUID'");
    if (!identifier)
        return unreadable(identifier.error());
    const Value stored = identifier->step() ? identifier->column(0) : Value();
    if (auto text = std::get_if<std::string>(&stored); text && !text->empty()) {
        storeIdentifier_ = *text;
    } else {
        // Object URIs of this session use the new identifier; a read-only store keeps it to
        // itself.
        storeIdentifier_ = makeUuid();
        if (readOnly_)
            return Status::success();
        if (Status checked = damageCheck_->await(); !checked)
            return checked;
        (void)db_->execute("INSERT OR REPLACE INTO Z_METADATA (key, value) VALUES ('storeUUID', '" +
                           storeIdentifier_ + "')");
    }
    return Status::success();
}

Status PersistentStore::loadInto(ManagedObjectContext& context) {
    if (isClosed())
        return closedError(StoreErrorCode::ReadFailed);
    Status loaded = StoreLoader::loadRecords(*db_, context);
    if (Status checked = damageCheck_->await(); !checked)
        return checked;
    if (!loaded)
        return loaded;
    saver_->trackKeys(context.keys_);
    return loaded;
}

Status PersistentStore::loadRecords(SqliteDatabase& db, ManagedObjectContext& context) {
    return StoreLoader::loadRecords(db, context);
}

Status PersistentStore::save(const ChangeSet& changes) {
    if (isClosed()) {
        const Status closed = closedError(StoreErrorCode::SaveFailed);
        logError("PersistentStore::save", closed.error().description);
        return closed;
    }
    if (Status checked = damageCheck_->await(); !checked)
        return checked;
    if (readOnly_) {
        const Status refused = storeError(
            StoreErrorCode::NoPermission,
            "The changes could not be saved: the data file " + path_.string() +
                " is open for looking only.",
            "Ravelong could not write to it when it started. Make it writable, then quit and "
            "start Ravelong again to make changes.");
        logError("PersistentStore::save", refused.error().description);
        return refused;
    }
    return saver_->save(changes);
}

void PersistentStore::failSaveAfterStatements(int statements, int sqliteCode) {
    if (saver_)
        saver_->failSaveAfterStatements(statements, sqliteCode);
}

Result<std::unique_ptr<BackgroundReader>> PersistentStore::openBackgroundReader() const {
    return BackgroundReader::open(path_, *model_, busyTimeout_);
}

}  // namespace ravelong
