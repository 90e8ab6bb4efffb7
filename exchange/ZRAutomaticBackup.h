#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "app/DataLocations.h"
#include "app/MaintenanceServices.h"
#include "foundation/Clock.h"
#include "foundation/Error.h"

namespace ravelong {

class ManagedObjectContext;

// The automatic backups: at most one backup file a calendar day in the backup folder
// (ZRUserDefaults::getAutoBackupLocation, which falls back to the default folder when the chosen
// one is gone), named "Ravelong Backup <local date> (<seconds since 1970>).xml", keeping only the
// newest "ZRAutoBackupCount" of them. Only files whose whole name matches the backup pattern take
// part in the daily test, the pruning and a folder move; no other file is ever touched. A backup
// that fails to be written prunes nothing (so a failing disk never eats the good backups).
//
// Main thread (it reads the main context), or any thread with a context of its own.
class ZRAutomaticBackup final : public AutomaticBackup {
public:
    // `context` answers the context to back up (nullptr when there is none yet).
    ZRAutomaticBackup(std::function<ManagedObjectContext*()> context, const Clock& clock,
                      DataLocations locations = DataLocations::standard());

    // AutomaticBackup: a failure is logged (and the file left as it was).
    void backupForce(bool force) override;

    // The routine itself: the file written, nothing when a backup of today exists already and
    // `force` is false, or the Error that stopped it.
    Result<std::optional<std::filesystem::path>> backup(bool force);
    // The same routine writing `context` (a private copy, on any thread) instead of the one
    // the constructor was given.
    Result<std::optional<std::filesystem::path>> backupOf(ManagedObjectContext& context,
                                                          bool force);

    // Whether a file name is one of the backups (the whole name matches the pattern).
    static bool isBackupFileName(std::string_view name);
    // The backup name for an instant, with the local date in the user's calendar.
    static std::string backupFileName(Instant now);
    // The newest backup (by the creation time in its name) in the backup folder: the chosen one
    // while it exists, else the default one. Looks only: nothing is created, moved or forgotten.
    // Nothing when the folder holds no backup.
    static std::optional<std::filesystem::path> newestBackup(
        const DataLocations& locations = DataLocations::standard());
    // Moves every backup of `from` to `to` (same names); a failed move of one file is ignored.
    // Returns the number moved.
    static int moveRavelongBackupsFromFolder(const std::filesystem::path& from,
                                             const std::filesystem::path& to);

private:
    std::function<ManagedObjectContext*()> context_;
    const Clock& clock_;
    DataLocations locations_;
};

}  // namespace ravelong
