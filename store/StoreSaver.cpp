#include "store/StoreSaver.h"

#include <algorithm>
#include <optional>

#include "foundation/Log.h"
#include "store/ManagedObject.h"
#include "store/PrimaryKeyAllocator.h"
#include "store/StoreError.h"
#include "store/StoreFailures.h"
#include "store/StoreLoader.h"
#include "store/StoreSchema.h"

namespace ravelong {

namespace {

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

Value columnValue(const PropertyDescription& p, const ManagedObject& object) {
    if (p.kind == PropertyKind::Attribute)
        return p.get(object);
    ManagedObject* target = p.toOne(object);
    return target ? Value(target->objectID().primaryKey) : Value();
}

}  // namespace

void StoreSaver::trackKeys(std::shared_ptr<PrimaryKeyAllocator> keys) {
    keys_ = std::move(keys);
    savedKeys_.clear();
    for (const EntityDescription* entity : model_->entities()) {
        savedKeys_.push_back(keys_->current(entity->index));
    }
}

SqliteStatement* StoreSaver::cached(const std::string& sql) {
    auto found = statements_.find(sql);
    if (found != statements_.end())
        return found->second.get();
    auto prepared = db_->prepare(sql);
    if (!prepared)
        return nullptr;
    auto statement = std::make_unique<SqliteStatement>(std::move(prepared.value()));
    SqliteStatement* raw = statement.get();
    statements_.emplace(sql, std::move(statement));
    return raw;
}

const StoreSaver::EntityPlan& StoreSaver::plan(const EntityDescription& entity) {
    if (plans_.size() < model_->entities().size())
        plans_.resize(model_->entities().size());
    std::unique_ptr<EntityPlan>& slot = plans_[entity.index];
    if (slot)
        return *slot;
    auto made = std::make_unique<EntityPlan>();
    made->columns = store_schema::columns(entity);
    for (const PropertyDescription* p : made->columns)
        made->columnMask |= std::uint64_t{1} << p->index;
    for (const PropertyDescription* p : store_schema::joinRelationships(entity)) {
        const std::string table = sqlQuoted(store_schema::joinTableName(entity, *p));
        made->joins.push_back({p,
                               "INSERT OR IGNORE INTO " + table + " (owner, member) VALUES (?, ?)",
                               "DELETE FROM " + table + " WHERE owner = ? AND member = ?"});
    }
    made->insertSql = insertSql(entity);
    made->updateSql = updateSql(entity);
    made->deleteSql.push_back("DELETE FROM " + sqlQuoted(entity.name) + " WHERE pk = ?");
    for (const EntityDescription* other : model_->entities()) {
        for (const PropertyDescription* p : store_schema::joinRelationships(*other)) {
            const std::string table = sqlQuoted(store_schema::joinTableName(*other, *p));
            if (other == &entity)
                made->deleteSql.push_back("DELETE FROM " + table + " WHERE owner = ?");
            if (p->destination == &entity)
                made->deleteSql.push_back("DELETE FROM " + table + " WHERE member = ?");
        }
    }
    slot = std::move(made);
    return *slot;
}

Status StoreSaver::runCached(const std::string& sql, const std::vector<Value>& arguments) {
    if (failAfterStatements_ == 0) {
        if (failWithCode_ == 0)
            return storeError(StoreErrorCode::SaveFailed, "disk I/O error (simulated)");
        return storeError(
            static_cast<StoreErrorCode>(storeErrorCodeOfSqlite(
                nullptr, failWithCode_, path_, static_cast<int>(StoreErrorCode::SaveFailed))),
            "SQLite error " + std::to_string(failWithCode_) + " (simulated)");
    }
    if (failAfterStatements_ > 0)
        --failAfterStatements_;
    SqliteStatement* statement = cached(sql);
    if (!statement) {
        return Error{kStoreErrorDomain,
                     db_->lastErrorCode(static_cast<int>(StoreErrorCode::SaveFailed)),
                     db_->lastError(), sql};
    }
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        statement->bind(static_cast<int>(i) + 1, arguments[i]);
    }
    return statement->run();
}

Status StoreSaver::writeRecord(ManagedObject* object, bool isNew) {
    const EntityPlan& entityPlan = plan(object->entity());
    if (!isNew && !(object->changedMask() & entityPlan.columnMask))
        return Status::success();
    std::vector<Value> arguments;
    arguments.reserve(entityPlan.columns.size() + 1);
    if (isNew)
        arguments.emplace_back(object->objectID().primaryKey);
    for (const PropertyDescription* p : entityPlan.columns)
        arguments.push_back(columnValue(*p, *object));
    if (!isNew)
        arguments.emplace_back(object->objectID().primaryKey);
    return runCached(isNew ? entityPlan.insertSql : entityPlan.updateSql, arguments);
}

Status StoreSaver::writeJoins(ManagedObject* object, bool isNew) {
    const EntityPlan& entityPlan = plan(object->entity());
    if (entityPlan.joins.empty())
        return Status::success();
    const Value owner(object->objectID().primaryKey);
    for (const JoinPlan& join : entityPlan.joins) {
        const PropertyDescription* p = join.property;
        if (isNew) {
            for (ManagedObject* member : p->toMany(*object)) {
                if (Status s =
                        runCached(join.insertSql, {owner, Value(member->objectID().primaryKey)});
                    !s)
                    return s;
            }
            continue;
        }
        const ToManyDiff* diff = object->toManyDiff(p->index);
        if (!diff)
            continue;
        for (ManagedObject* member : diff->removed) {
            if (Status s = runCached(join.removeSql, {owner, Value(member->objectID().primaryKey)});
                !s)
                return s;
        }
        for (ManagedObject* member : diff->added) {
            if (Status s = runCached(join.insertSql, {owner, Value(member->objectID().primaryKey)});
                !s)
                return s;
        }
    }
    return Status::success();
}

Status StoreSaver::deleteRecord(ManagedObject* object) {
    const EntityPlan& entityPlan = plan(object->entity());
    const Value key(object->objectID().primaryKey);
    for (const std::string& sql : entityPlan.deleteSql) {
        if (Status s = runCached(sql, {key}); !s)
            return s;
    }
    return Status::success();
}

Status StoreSaver::failed(const Error& error) {
    const Error described =
        store_failures::describe(static_cast<StoreErrorCode>(error.code), path_,
                                 "The changes could not be saved.", error.description);
    logError("StoreSaver::save", described.description + " " + described.failureReason);
    return described;
}

Status StoreSaver::save(const ChangeSet& changes) {
    // A bulk save (an import, a restore) touches more pages than the default cache holds; a
    // larger cache keeps them in memory instead of spilling them to the log and reading them
    // back. Everyday saves keep the small cache.
    const std::size_t records =
        changes.inserted.size() + changes.updated.size() + changes.deleted.size();
    std::optional<std::int64_t> cacheSize;
    if (records >= kBulkRecords) {
        if (auto current = db_->queryInt("PRAGMA cache_size"); current.ok()) {
            cacheSize = current.value();
            (void)db_->execute("PRAGMA cache_size = -65536");
        }
    }
    Status status = saveInTransaction(changes);
    if (cacheSize)
        (void)db_->execute("PRAGMA cache_size = " + std::to_string(*cacheSize));
    return status;
}

StoreSaver::RowCounts StoreSaver::rowsPerEntity(const ChangeSet& changes) const {
    RowCounts counts{std::vector<std::size_t>(model_->entities().size()),
                     std::vector<std::size_t>(model_->entities().size())};
    for (const ManagedObject* object : changes.inserted) {
        ++counts.inserted[object->entity().index];
        ++counts.written[object->entity().index];
    }
    for (const ChangedObject& changed : changes.updated)
        ++counts.written[changed.object->entity().index];
    for (const ManagedObject* object : changes.deleted)
        ++counts.written[object->entity().index];
    return counts;
}

std::vector<const DerivedTable*> StoreSaver::tablesToRemake(const RowCounts& rows) {
    std::vector<const DerivedTable*> tables;
    for (const DerivedTable& table : derivedTables_) {
        const EntityDescription* source = model_->entity(table.source);
        // A file without the table gets it at its next open, not from a save.
        if (source && rows.written[source->index] >= kRowsForRemaking &&
            derived_tables::installed(*db_, table))
            tables.push_back(&table);
    }
    return tables;
}

std::vector<TableIndex> StoreSaver::indexesToMakeAgain(const RowCounts& rows) {
    std::vector<TableIndex> indexes;
    for (const EntityDescription* entity : model_->entities()) {
        const std::size_t added = rows.inserted[entity->index];
        if (added < kRowsForReindexing)
            continue;
        auto held = db_->queryInt("SELECT count(*) FROM " + sqlQuoted(entity->name));
        if (!held || static_cast<std::int64_t>(added) * 2 < held.value())
            continue;
        if (auto own = table_indexes::of(*db_, entity->name); own.ok())
            indexes.insert(indexes.end(), own->begin(), own->end());
    }
    return indexes;
}

Status StoreSaver::saveInTransaction(const ChangeSet& changes) {
    if (Status s = db_->execute("BEGIN IMMEDIATE"); !s)
        return failed(s.error());
    Status status = Status::success();
    // Only a bulk save remakes tables or indexes; the rows are counted once for both.
    std::vector<const DerivedTable*> remade;
    std::vector<TableIndex> reindexed;
    if (changes.inserted.size() + changes.updated.size() + changes.deleted.size() >=
        std::min(kRowsForRemaking, kRowsForReindexing)) {
        const RowCounts rows = rowsPerEntity(changes);
        remade = tablesToRemake(rows);
        reindexed = indexesToMakeAgain(rows);
    }
    for (const DerivedTable* table : remade) {
        if (status)
            status = derived_tables::drop(*db_, *table);
    }
    // The indexes are back before the updates and deletes, which look rows up through them.
    if (status)
        status = table_indexes::drop(*db_, reindexed);
    for (ManagedObject* object : changes.inserted) {
        if (status)
            status = writeRecord(object, true);
        if (status)
            status = writeJoins(object, true);
    }
    if (status)
        status = table_indexes::make(*db_, reindexed);
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
                status = runCached(
                    "INSERT OR REPLACE INTO Z_METADATA (key, value) VALUES (?, ?)",
                    {Value(StoreLoader::maximumKeyName(*entity)), Value(usedKeys[entity->index])});
            }
        }
    }
    // Failing to make a table again leaves it out, as a file that never had it; the readers do
    // without until the next open makes it.
    for (const DerivedTable* table : remade) {
        if (status && db_->execute("SAVEPOINT remaking")) {
            if (!derived_tables::make(*db_, *table))
                (void)db_->execute("ROLLBACK TO remaking");
            (void)db_->execute("RELEASE remaking");
        }
    }
    failAfterStatements_ = -1;
    if (status)
        status = db_->execute("COMMIT");
    if (!status) {
        if (db_->inTransaction())
            (void)db_->execute("ROLLBACK");
        return failed(status.error());
    }
    savedKeys_ = std::move(usedKeys);
    return Status::success();
}

}  // namespace ravelong
