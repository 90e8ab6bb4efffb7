#include "store/PersistentStore.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <unordered_map>

#include "foundation/Log.h"
#include "foundation/Uuid.h"
#include "store/BackgroundReader.h"
#include "store/ManagedObjectContext.h"
#include "store/PrimaryKeyAllocator.h"
#include "store/StoreError.h"
#include "store/StoreSchema.h"

namespace ravelong {

namespace {

// PRAGMA quick_check on a connection: success, or the error of a damaged file.
Status quickCheck(SqliteDatabase& db, const std::filesystem::path& path) {
    auto check = db.prepare("PRAGMA quick_check(1)");
    if (!check || !check->step() || check->column(0) != Value(std::string("ok"))) {
        return storeError(StoreErrorCode::ReadFailed,
                          "The data file " + path.string() + " is damaged.",
                          "It was left unchanged.");
    }
    return Status::success();
}

constexpr char kSqliteMagic[] = "SQLite format 3";  // followed by a NUL in the file header

bool hasSqliteHeader(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    char header[16] = {};
    file.read(header, sizeof header);
    return file.gcount() == sizeof header && std::memcmp(header, kSqliteMagic, 16) == 0;
}

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

std::string insertSql(const EntityDescription& entity) {
    std::string names = "pk";
    std::string marks = "?";
    for (const PropertyDescription* p : store_schema::columns(entity)) {
        names += ", " + sqlQuoted(p->name);
        marks += ", ?";
    }
    return "INSERT INTO " + sqlQuoted(entity.name) + " (" + names + ") VALUES (" + marks + ")";
}

std::string updateSql(const EntityDescription& entity) {
    std::string assignments;
    for (const PropertyDescription* p : store_schema::columns(entity)) {
        assignments += (assignments.empty() ? "" : ", ") + sqlQuoted(p->name) + " = ?";
    }
    return "UPDATE " + sqlQuoted(entity.name) + " SET " + assignments + " WHERE pk = ?";
}

// Keys are never handed out twice, also not after a restart: a record made later must not take
// over the object URI of one that was deleted. The file keeps the largest key of each entity
// that a save has seen in Z_METADATA under "maxKey.<entity>".
std::string maximumKeyName(const EntityDescription& entity) {
    return "maxKey." + entity.name;
}

std::int64_t savedMaximumKey(SqliteDatabase& db, const EntityDescription& entity) {
    auto statement = db.prepare("SELECT value FROM Z_METADATA WHERE key = ?");
    if (!statement)
        return 0;
    statement->bind(1, Value(maximumKeyName(entity)));
    return statement->step() ? statement->columnInt(0) : 0;
}

Value columnValue(const PropertyDescription& p, const ManagedObject& object) {
    if (p.kind == PropertyKind::Attribute)
        return p.get(object);
    ManagedObject* target = p.toOne(object);
    return target ? Value(target->objectID().primaryKey) : Value();
}

}  // namespace

Result<std::shared_ptr<PersistentStore>> PersistentStore::open(const std::filesystem::path& path,
                                                               const ManagedObjectModel& model,
                                                               const StoreOptions& options) {
    std::shared_ptr<PersistentStore> store(new PersistentStore());
    store->path_ = path;
    store->model_ = &model;

    const std::filesystem::path lockPath = path.string() + ".lock";
    store->lockFd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (store->lockFd_ < 0) {
        return storeError(StoreErrorCode::CannotOpen,
                          "The data file " + path.string() + " cannot be opened.",
                          std::strerror(errno));
    }
    if (::flock(store->lockFd_, LOCK_EX | LOCK_NB) != 0) {
        return storeError(StoreErrorCode::Locked,
                          "The data file is in use by another Ravelong process.",
                          "Quit the other Ravelong process and try again.");
    }

    std::error_code ec;
    if (std::filesystem::exists(path, ec) && std::filesystem::file_size(path, ec) > 0 &&
        !hasSqliteHeader(path)) {
        return storeError(StoreErrorCode::NotAStore,
                          "The file " + path.string() + " is not a Ravelong data file.",
                          "It was left unchanged.");
    }
    Status prepared = store->prepareFile(options);
    if (!prepared)
        return prepared.error();
    return store;
}

void PersistentStore::startIntegrityCheck() {
    integrityCheck_ = std::async(std::launch::async, [path = path_]() -> Status {
        auto reader = SqliteDatabase::open(path, SqliteDatabase::Mode::ReadOnly);
        if (!reader)
            return reader.error();
        return quickCheck(*reader.value(), path);
    });
}

Status PersistentStore::awaitIntegrityCheck() {
    if (!integrityCheck_.valid())
        return Status::success();
    return integrityCheck_.get();
}

PersistentStore::~PersistentStore() {
    close();
}

void PersistentStore::close() {
    if (integrityCheck_.valid())
        integrityCheck_.wait();
    statements_.clear();
    db_.reset();
    if (lockFd_ >= 0) {
        ::close(lockFd_);  // closing releases the lock
        lockFd_ = -1;
    }
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
            startIntegrityCheck();
        } else if (Status checked = quickCheck(*db_, path_); !checked) {
            return checked;
        }
    }
    if (*version > 0 && *version < model_->version()) {
        Status migrated = migrate(static_cast<int>(*version), options);
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
        if (Status checked = awaitIntegrityCheck(); !checked)
            return checked;
        (void)db_->execute("INSERT OR REPLACE INTO Z_METADATA (key, value) VALUES ('storeUUID', '" +
                           storeIdentifier_ + "')");
    }
    return Status::success();
}

// Upgrades run on a copy: the original stays exactly as it was until the finished copy replaces
// it in one rename, so a failure at any point (a bad row, a full disk) leaves a readable store.
Status PersistentStore::migrate(int fromVersion, const StoreOptions& options) {
    std::vector<const MigrationStep*> chain;
    for (int version = fromVersion; version < model_->version();) {
        auto step = std::find_if(options.migrations.begin(), options.migrations.end(),
                                 [&](const MigrationStep& s) {
                                     return s.fromVersion == version && s.toVersion > version &&
                                            s.toVersion <= model_->version();
                                 });
        if (step == options.migrations.end()) {
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
    if (Status s = db_->execute("PRAGMA wal_checkpoint(TRUNCATE)"); !s)
        return failed(s.error().description);
    db_.reset();

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
    logInfo("PersistentStore::migrate",
            "upgraded " + path_.string() + " from version " + std::to_string(fromVersion));
    return Status::success();
}

// --- Loading ------------------------------------------------------------------------------

Status PersistentStore::loadInto(ManagedObjectContext& context) {
    if (isClosed())
        return closedError(StoreErrorCode::ReadFailed);
    Status loaded = loadRecords(*db_, context);
    if (Status checked = awaitIntegrityCheck(); !checked)
        return checked;
    if (!loaded)
        return loaded;
    keys_ = context.keys_;
    savedKeys_.clear();
    for (const EntityDescription* entity : model_->entities()) {
        savedKeys_.push_back(keys_->current(entity->index));
    }
    return loaded;
}

Status PersistentStore::loadRecords(SqliteDatabase& db, ManagedObjectContext& context) {
    const ManagedObjectModel& model = context.model();
    auto readFailed = [](const std::string& reason) {
        return storeError(StoreErrorCode::ReadFailed, "The data file could not be read.", reason);
    };
    // One read transaction, so that every table is read from the same state of the file.
    const bool ownTransaction = !db.inTransaction();
    if (ownTransaction) {
        if (Status s = db.execute("BEGIN"); !s)
            return readFailed(s.error().description);
    }
    struct Link {
        ManagedObject* object;
        const PropertyDescription* property;
        std::int64_t target;
    };
    std::vector<Link> links;
    std::size_t dangling = 0;
    Status status = Status::success();

    // A copy of the records names the store as the main context does, so that the object URIs
    // of a background copy resolve in the main context and the other way round.
    if (auto identifier = db.prepare("SELECT value FROM Z_METADATA WHERE key = 'storeUUID'");
        identifier && identifier->step()) {
        const Value stored = identifier->column(0);
        if (auto text = std::get_if<std::string>(&stored); text && !text->empty())
            context.storeIdentifier_ = *text;
    }

    // The row counts size the context's tables and the list of links up front; growing them
    // record by record would rehash and copy them over and over on a large file.
    std::size_t linkCount = 0;
    for (const EntityDescription* entity : model.entities()) {
        auto rows = db.queryInt("SELECT count(*) FROM " + sqlQuoted(entity->name));
        if (!rows || *rows <= 0)
            continue;
        const auto count = static_cast<std::size_t>(*rows);
        context.reserveRecords(entity->index, count);
        for (const PropertyDescription* p : store_schema::columns(*entity))
            linkCount += p->kind == PropertyKind::Attribute ? 0 : count;
    }
    links.reserve(linkCount);

    for (const EntityDescription* entity : model.entities()) {
        const auto columns = store_schema::columns(*entity);
        std::string sql = "SELECT pk";
        for (const PropertyDescription* p : columns)
            sql += ", " + sqlQuoted(p->name);
        auto statement = db.prepare(sql + " FROM " + sqlQuoted(entity->name));
        if (!statement) {
            status = readFailed(statement.error().description);
            break;
        }
        std::int64_t maxKey = 0;
        while (statement->step()) {
            std::unique_ptr<ManagedObject> object = entity->create();
            const std::int64_t key = statement->columnInt(0);
            for (std::size_t i = 0; i < columns.size(); ++i) {
                const int column = static_cast<int>(i) + 1;
                if (columns[i]->kind == PropertyKind::Attribute) {
                    columns[i]->setPrimitive(*object, statement->column(column));
                } else if (!statement->columnIsNull(column)) {
                    links.push_back({object.get(), columns[i], statement->columnInt(column)});
                }
            }
            context.adopt(std::move(object), key, true);
            maxKey = std::max(maxKey, key);
        }
        if (statement->failed()) {
            status = readFailed(statement->error());
            break;
        }
        context.keys_->reserveUpTo(entity->index, std::max(maxKey, savedMaximumKey(db, *entity)));
    }

    if (status) {
        for (const Link& link : links) {
            const PropertyDescription& p = *link.property;
            ManagedObject* target = context.objectWithID({p.destination->index, link.target});
            if (!target) {
                ++dangling;
                continue;
            }
            p.setPrimitive(*link.object, Value(target));
            if (p.inverse->kind == PropertyKind::ToMany) {
                p.inverse->toMany(*target).appendUnchecked(link.object);
            } else {
                p.inverse->setPrimitive(*target, Value(link.object));
            }
        }
        for (const EntityDescription* entity : model.entities()) {
            for (const PropertyDescription* p : store_schema::joinRelationships(*entity)) {
                auto statement = db.prepare("SELECT owner, member FROM " +
                                            sqlQuoted(store_schema::joinTableName(*entity, *p)));
                if (!statement) {
                    status = readFailed(statement.error().description);
                    break;
                }
                while (statement->step()) {
                    ManagedObject* owner =
                        context.objectWithID({entity->index, statement->columnInt(0)});
                    ManagedObject* member =
                        context.objectWithID({p->destination->index, statement->columnInt(1)});
                    if (!owner || !member) {
                        ++dangling;
                        continue;
                    }
                    p->toMany(*owner).appendUnchecked(member);
                    p->inverse->toMany(*member).appendUnchecked(owner);
                }
            }
        }
    }
    if (ownTransaction)
        (void)db.execute("COMMIT");
    if (dangling > 0) {
        logWarning("PersistentStore::loadRecords",
                   std::to_string(dangling) + " references to missing records were ignored");
    }
    return status;
}

// --- Saving -------------------------------------------------------------------------------

SqliteStatement* PersistentStore::cached(const std::string& sql) {
    for (auto& [text, statement] : statements_) {
        if (text == sql)
            return statement.get();
    }
    auto prepared = db_->prepare(sql);
    if (!prepared)
        return nullptr;
    statements_.emplace_back(sql, std::make_unique<SqliteStatement>(std::move(prepared.value())));
    return statements_.back().second.get();
}

Status PersistentStore::runCached(const std::string& sql, const std::vector<Value>& arguments) {
    if (failAfterStatements_ == 0) {
        return storeError(StoreErrorCode::SaveFailed, "disk I/O error (simulated)");
    }
    if (failAfterStatements_ > 0)
        --failAfterStatements_;
    SqliteStatement* statement = cached(sql);
    if (!statement)
        return storeError(StoreErrorCode::SaveFailed, db_->lastError(), sql);
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        statement->bind(static_cast<int>(i) + 1, arguments[i]);
    }
    return statement->run();
}

Status PersistentStore::writeRecord(ManagedObject* object, bool isNew) {
    const EntityDescription& entity = object->entity();
    const auto columns = store_schema::columns(entity);
    if (!isNew) {
        bool columnChanged = false;
        for (const PropertyDescription* p : columns) {
            columnChanged = columnChanged || ((object->changedMask() >> p->index) & 1u);
        }
        if (!columnChanged)
            return Status::success();
    }
    std::vector<Value> arguments;
    arguments.reserve(columns.size() + 1);
    if (isNew)
        arguments.emplace_back(object->objectID().primaryKey);
    for (const PropertyDescription* p : columns)
        arguments.push_back(columnValue(*p, *object));
    if (!isNew)
        arguments.emplace_back(object->objectID().primaryKey);
    return runCached(isNew ? insertSql(entity) : updateSql(entity), arguments);
}

Status PersistentStore::writeJoins(ManagedObject* object, bool isNew) {
    const EntityDescription& entity = object->entity();
    const Value owner(object->objectID().primaryKey);
    for (const PropertyDescription* p : store_schema::joinRelationships(entity)) {
        const std::string table = sqlQuoted(store_schema::joinTableName(entity, *p));
        const std::string insert =
            "INSERT OR IGNORE INTO " + table + " (owner, member) VALUES (?, ?)";
        const std::string remove = "DELETE FROM " + table + " WHERE owner = ? AND member = ?";
        if (isNew) {
            for (ManagedObject* member : p->toMany(*object)) {
                if (Status s = runCached(insert, {owner, Value(member->objectID().primaryKey)}); !s)
                    return s;
            }
            continue;
        }
        const ToManyDiff* diff = object->toManyDiff(p->index);
        if (!diff)
            continue;
        for (ManagedObject* member : diff->removed) {
            if (Status s = runCached(remove, {owner, Value(member->objectID().primaryKey)}); !s)
                return s;
        }
        for (ManagedObject* member : diff->added) {
            if (Status s = runCached(insert, {owner, Value(member->objectID().primaryKey)}); !s)
                return s;
        }
    }
    return Status::success();
}

Status PersistentStore::deleteRecord(ManagedObject* object) {
    const EntityDescription& entity = object->entity();
    const Value key(object->objectID().primaryKey);
    if (Status s = runCached("DELETE FROM " + sqlQuoted(entity.name) + " WHERE pk = ?", {key}); !s)
        return s;
    for (const EntityDescription* other : model_->entities()) {
        for (const PropertyDescription* p : store_schema::joinRelationships(*other)) {
            const std::string table = sqlQuoted(store_schema::joinTableName(*other, *p));
            if (other == &entity) {
                if (Status s = runCached("DELETE FROM " + table + " WHERE owner = ?", {key}); !s)
                    return s;
            }
            if (p->destination == &entity) {
                if (Status s = runCached("DELETE FROM " + table + " WHERE member = ?", {key}); !s)
                    return s;
            }
        }
    }
    return Status::success();
}

Status PersistentStore::save(const ChangeSet& changes) {
    if (isClosed()) {
        const Status closed = closedError(StoreErrorCode::SaveFailed);
        logError("PersistentStore::save", closed.error().description);
        return closed;
    }
    if (Status checked = awaitIntegrityCheck(); !checked)
        return checked;
    if (Status s = db_->execute("BEGIN IMMEDIATE"); !s) {
        return storeError(StoreErrorCode::SaveFailed, "The changes could not be saved.",
                          s.error().description);
    }
    Status status = Status::success();
    for (ManagedObject* object : changes.inserted) {
        if (status)
            status = writeRecord(object, true);
        if (status)
            status = writeJoins(object, true);
    }
    for (const ChangedObject& changed : changes.updated) {
        if (status)
            status = writeRecord(changed.object, false);
        if (status)
            status = writeJoins(changed.object, false);
    }
    for (ManagedObject* object : changes.deleted) {
        if (status)
            status = deleteRecord(object);
    }
    std::vector<std::int64_t> usedKeys = savedKeys_;
    if (keys_) {
        for (const EntityDescription* entity : model_->entities()) {
            usedKeys[entity->index] = keys_->current(entity->index);
            if (status && usedKeys[entity->index] > savedKeys_[entity->index]) {
                status =
                    runCached("INSERT OR REPLACE INTO Z_METADATA (key, value) VALUES (?, ?)",
                              {Value(maximumKeyName(*entity)), Value(usedKeys[entity->index])});
            }
        }
    }
    failAfterStatements_ = -1;
    if (status)
        status = db_->execute("COMMIT");
    if (!status) {
        (void)db_->execute("ROLLBACK");
        logError("PersistentStore::save", status.error().description);
        return storeError(StoreErrorCode::SaveFailed, "The changes could not be saved.",
                          status.error().description);
    }
    savedKeys_ = std::move(usedKeys);
    return Status::success();
}

Result<std::unique_ptr<BackgroundReader>> PersistentStore::openBackgroundReader() const {
    return BackgroundReader::open(path_, *model_);
}

}  // namespace ravelong
