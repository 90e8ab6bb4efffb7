#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "foundation/Error.h"
#include "store/ChangeSet.h"
#include "store/ManagedObjectModel.h"
#include "store/SqliteDatabase.h"

namespace ravelong {

class ManagedObject;
class PrimaryKeyAllocator;

// Writes the changes of a context into a store file, each save in one transaction, and keeps the
// largest key of each entity in the file so that keys are never handed out twice. Keeps its
// prepared statements: destroy it before the connection it writes to.
class StoreSaver {
public:
    StoreSaver(SqliteDatabase& db, const ManagedObjectModel& model) : db_(&db), model_(&model) {}

    // The keys of the context loaded from the file, with the largest of each entity written so
    // far.
    void trackKeys(std::shared_ptr<PrimaryKeyAllocator> keys);

    // Writes the changes in one transaction. On failure the transaction is rolled back and the
    // file is unchanged.
    Status save(const ChangeSet& changes);

    // For tests: the next save fails as a disk error would once it has run `statements`
    // statements (0: at its first). That save disarms it, whether it failed or not.
    void failSaveAfterStatements(int statements) { failAfterStatements_ = statements; }

private:
    Status writeRecord(ManagedObject* object, bool isNew);
    Status writeJoins(ManagedObject* object, bool isNew);
    Status deleteRecord(ManagedObject* object);
    Status runCached(const std::string& sql, const std::vector<Value>& arguments);
    SqliteStatement* cached(const std::string& sql);

    SqliteDatabase* db_;
    const ManagedObjectModel* model_;
    std::vector<std::pair<std::string, std::unique_ptr<SqliteStatement>>> statements_;
    std::shared_ptr<PrimaryKeyAllocator> keys_;
    std::vector<std::int64_t> savedKeys_;
    int failAfterStatements_ = -1;
};

}  // namespace ravelong
