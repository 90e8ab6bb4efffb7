#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "foundation/Error.h"
#include "store/ChangeSet.h"
#include "store/DerivedTable.h"
#include "store/ManagedObjectModel.h"
#include "store/SqliteDatabase.h"
#include "store/TableIndexes.h"

namespace ravelong {

class ManagedObject;
class PrimaryKeyAllocator;

// Writes the changes of a context into a store file, each save in one transaction, and keeps the
// largest key of each entity in the file so that keys are never handed out twice. Keeps its
// prepared statements: destroy it before the connection it writes to.
class StoreSaver {
public:
    // `path` is the file `db` is connected to, named in the errors.
    StoreSaver(SqliteDatabase& db, std::filesystem::path path, const ManagedObjectModel& model)
        : db_(&db), path_(std::move(path)), model_(&model) {}

    // The keys of the context loaded from the file, with the largest of each entity written so
    // far.
    void trackKeys(std::shared_ptr<PrimaryKeyAllocator> keys);

    // Writes the changes in one transaction. On failure the transaction is rolled back and the
    // file is unchanged; the error says what happened (DiskFull, Busy when another process held
    // the file longer than the connection waits, NoPermission, ReadOnlyFileSystem, Damaged;
    // SaveFailed otherwise). The same changes can be saved again later.
    Status save(const ChangeSet& changes);

    // The derived tables the file keeps, which a save of many of their source's rows makes
    // again once at its end.
    void setDerivedTables(std::vector<DerivedTable> tables) { derivedTables_ = std::move(tables); }

    // For tests: the next save fails once it has run `statements` statements (0: at its first),
    // as SQLite's result code `sqliteCode` would (0: a disk I/O error). That save disarms it,
    // whether it failed or not.
    void failSaveAfterStatements(int statements, int sqliteCode = 0) {
        failAfterStatements_ = statements;
        failWithCode_ = sqliteCode;
    }

private:
    static constexpr std::size_t kBulkRecords = 5000;
    // From how many written rows of its source a derived table is made again rather than
    // followed row by row: about where its triggers take longer than filling it anew from a
    // large store.
    static constexpr std::size_t kRowsForRemaking = 50'000;
    // A save that adds at least that many rows to a table, and at least half as many as it
    // held, makes the table's indexes again rather than filing each new key: measured on a large
    // store, an index took about a third as long per row to make anew as to file a key.
    static constexpr std::size_t kRowsForReindexing = kRowsForRemaking;

    Status saveInTransaction(const ChangeSet& changes);
    // How many rows of each entity's table (by entity index) a save inserts, and writes in all.
    struct RowCounts {
        std::vector<std::size_t> inserted;
        std::vector<std::size_t> written;
    };
    RowCounts rowsPerEntity(const ChangeSet& changes) const;
    std::vector<const DerivedTable*> tablesToRemake(const RowCounts& rows);
    std::vector<TableIndex> indexesToMakeAgain(const RowCounts& rows);
    Status writeRecord(ManagedObject* object, bool isNew);
    Status writeJoins(ManagedObject* object, bool isNew);
    Status deleteRecord(ManagedObject* object);
    Status runCached(const std::string& sql, const std::vector<Value>& arguments);
    SqliteStatement* cached(const std::string& sql);

    Status failed(const Error& error);

    // What a save writes for the records of one entity, worked out once per model.
    struct JoinPlan {
        const PropertyDescription* property;
        std::string insertSql;
        std::string removeSql;
    };
    struct EntityPlan {
        std::vector<const PropertyDescription*> columns;
        std::uint64_t columnMask = 0;  // bit i: property i is a column
        std::vector<JoinPlan> joins;
        std::string insertSql;
        std::string updateSql;
        // Deleting a record: its own row, then the join rows that name it.
        std::vector<std::string> deleteSql;
    };
    const EntityPlan& plan(const EntityDescription& entity);

    SqliteDatabase* db_;
    std::vector<DerivedTable> derivedTables_;
    std::filesystem::path path_;
    const ManagedObjectModel* model_;
    std::unordered_map<std::string, std::unique_ptr<SqliteStatement>> statements_;
    std::vector<std::unique_ptr<EntityPlan>> plans_;
    std::shared_ptr<PrimaryKeyAllocator> keys_;
    std::vector<std::int64_t> savedKeys_;
    int failAfterStatements_ = -1;
    int failWithCode_ = 0;
};

}  // namespace ravelong
