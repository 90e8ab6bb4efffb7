#pragma once

#include <cstdint>
#include <functional>

namespace ravelong {

// The services the maintenance tick and the launch call into that belong to later parts of the
// program. Until those exist, the application delegate holds the do-nothing versions below.

// Automatic backups of the store.
class AutomaticBackup {
public:
    virtual ~AutomaticBackup() = default;
    // Writes a backup when one is due (always when `force`).
    virtual void backupForce(bool force) = 0;
};

// The merge options of every sync the program asks for (the maintenance tick, "Sync Now",
// saves, the network coming back).
inline constexpr std::int64_t kSyncMergeOptions = 32;

// The synchronisation between computers.
class SyncRequester {
public:
    virtual ~SyncRequester() = default;
    virtual bool readyToSync() const = 0;
    virtual void forceSyncWithMergeOptions(std::int64_t mergeOptions) = 0;
};

// The upgrade of the data of versions up to 1.2.4.
class LegacyUpgrade {
public:
    virtual ~LegacyUpgrade() = default;
    // The number of unique identifiers the upgrade works through (the progress bar's maximum).
    virtual double getUIDCount() = 0;
    // Runs the upgrade into the main context, reporting progress (0 ... getUIDCount()).
    virtual void continueDatabaseMigration(const std::function<void(double)>& progress) = 0;
};

class NoAutomaticBackup final : public AutomaticBackup {
public:
    void backupForce(bool) override {}
};

class NoSyncRequester final : public SyncRequester {
public:
    bool readyToSync() const override { return false; }
    void forceSyncWithMergeOptions(std::int64_t) override {}
};

}  // namespace ravelong
