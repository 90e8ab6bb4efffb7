#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "foundation/Error.h"
#include "store/ManagedObjectModel.h"
#include "store/SqliteDatabase.h"

namespace ravelong {

// One upgrade of the file from one model version to the next. `apply` runs inside the
// upgrade's transaction on a copy of the file.
struct MigrationStep {
    int fromVersion = 0;
    int toVersion = 0;
    std::string name;
    std::function<Status(SqliteDatabase&)> apply;
};

// Upgrades a store file of an older model version to the model's version.
//
// Upgrades run on a copy: the original stays exactly as it was until the finished copy replaces
// it in one rename, so a failure at any point (a bad row, a full disk) leaves a readable store.
class StoreMigrator {
public:
    // `steps` in any order; a chain from the file's version to the model's version must exist.
    StoreMigrator(std::filesystem::path path, const ManagedObjectModel& model,
                  const std::vector<MigrationStep>& steps)
        : path_(std::move(path)), model_(&model), steps_(&steps) {}

    // Upgrades the file from `fromVersion`. Writes its journal back and closes `db` (the
    // connection to the file) first; the caller opens the upgraded file again. Fails with
    // NoMigrationPath or MigrationFailed, the file unchanged.
    Status migrate(std::unique_ptr<SqliteDatabase>& db, int fromVersion);

private:
    std::filesystem::path path_;
    const ManagedObjectModel* model_;
    const std::vector<MigrationStep>* steps_;
};

}  // namespace ravelong
