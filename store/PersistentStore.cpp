#include "store/PersistentStore.h"

#include "foundation/Log.h"
#include "foundation/Uuid.h"
#include "store/BackgroundReader.h"
#include "store/ManagedObjectContext.h"
#include "store/StoreDamageCheck.h"
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

    auto guard = StoreFileGuard::acquire(path);
    if (!guard)
        return guard.error();
    store->guard_ = std::move(guard.value());

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
    store->saver_ = std::make_unique<StoreSaver>(*store->db_, model);
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

Status PersistentStore::prepareFile(const StoreOptions& options) {
    auto opened = SqliteDatabase::open(path_, SqliteDatabase::Mode::ReadWrite);
    if (!opened)
        return opened.error();
    db_ = std::move(opened.value());
    damageCheck_ = std::make_unique<StoreDamageCheck>(path_);

    auto notAStore = [this](const std::string& reason) {
        return storeError(StoreErrorCode::NotAStore,
                          "The file " + path_.string() + " is not a Ravelong data file.", reason);
    };
    auto version = db_->queryInt("PRAGMA user_version");
    if (!version)
        return notAStore(version.error().description);
    auto tableCount = db_->queryInt("SELECT count(*) FROM sqlite_master");
    if (!tableCount)
        return notAStore(tableCount.error().description);

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
    if (*version > 0 && *version < model_->version()) {
        Status migrated = StoreMigrator(path_, *model_, options.migrations)
                              .migrate(db_, static_cast<int>(*version));
        if (!migrated)
            return migrated;
        return prepareFile(options);
    }

    if (Status s = db_->execute("PRAGMA journal_mode=WAL"); !s)
        return notAStore(s.error().description);
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
    auto identifier = db_->prepare("SELECT value FROM Z_METADATA WHERE key = 'storeUUID'");
    if (!identifier)
        return notAStore(identifier.error().description);
    const Value stored = identifier->step() ? identifier->column(0) : Value();
    if (auto text = std::get_if<std::string>(&stored); text && !text->empty()) {
        storeIdentifier_ = *text;
    } else {
        storeIdentifier_ = makeUuid();
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
    return saver_->save(changes);
}

void PersistentStore::failSaveAfterStatements(int statements) {
    if (saver_)
        saver_->failSaveAfterStatements(statements);
}

Result<std::unique_ptr<BackgroundReader>> PersistentStore::openBackgroundReader() const {
    return BackgroundReader::open(path_, *model_);
}

}  // namespace ravelong
