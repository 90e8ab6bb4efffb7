#pragma once

#include <filesystem>
#include <functional>

#include "app/DataLocations.h"
#include "app/MaintenanceServices.h"
#include "foundation/Error.h"

namespace ravelong {

class ManagedObjectContext;
class StoreStack;

// The one-time upgrade of the store of versions up to 1.2.4: the legacy store is written out as a
// first-generation backup (the transfer file "RavelongTransfer.xml" in the transfer folder) and
// read back into the main context with the first-generation reader, every task and timing
// created. The transfer file is deleted when it was read; a failed write or read leaves it (or
// its absence) for a look, and the launch runs the upgrade again while the store holds no task.
// "ZRNotMigrated" is cleared (and the settings synchronized) at the end either way.
//
// Main thread: it works on the main and legacy contexts of the stack. The records are read on a
// private copy of the main context and pushed into it only when the whole file was read; the
// store file itself is not saved here: the launch saves the main context afterwards.
class LegacyStoreUpgrade final : public LegacyUpgrade {
public:
    explicit LegacyStoreUpgrade(StoreStack& stack);

    // LegacyUpgrade.
    double getUIDCount() override;
    void continueDatabaseMigration(const std::function<void(double)>& progress) override;

    // Writes the legacy context's tasks (tier 1 first, children in their old view positions)
    // with their identifiers and timed entries as a first-generation file, atomically. A failure
    // logs "Could not write document out..." and is returned.
    static Status backupV1ForMigrationToV2(ManagedObjectContext& legacy,
                                           const std::filesystem::path& file);
    // Reads a transfer file into `context` (no clearing); whether it succeeded.
    static Status importRavelongV1File(const std::filesystem::path& file,
                                       ManagedObjectContext& context,
                                       const std::function<void(double)>& progress);

    // Where the transfer file goes.
    std::filesystem::path transferFile() const;

private:
    StoreStack& stack_;
};

}  // namespace ravelong
