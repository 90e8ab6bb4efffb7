#pragma once

#include <filesystem>
#include <optional>

#include "app/DataLocations.h"
#include "foundation/Error.h"

namespace ravelong {

// The two folders the settings decide.
class ZRUserDefaults {
public:
    ZRUserDefaults() = delete;

    // The folder automatic backups go to: the folder stored under "ZRAutoBackupLocationData"
    // when it still exists, else the default backup folder (created when missing). A stored
    // folder that is gone, or a value that is not an absolute path, is forgotten (the key is
    // removed and the settings synchronized), so the backups carry on in the default folder.
    // Fails only when the default folder cannot be created.
    static Result<std::filesystem::path> getAutoBackupLocation(
        const DataLocations& locations = DataLocations::standard());

    // The folder automatic backups are in, chosen as getAutoBackupLocation chooses it, but
    // without creating, forgetting or logging anything: for a look at the backups made so far.
    static std::filesystem::path findAutoBackupLocation(
        const DataLocations& locations = DataLocations::standard());

    // Stores `folder` as the chosen backup folder: its path as UTF-8 bytes (there is no sandbox
    // to ask for lasting access, so the path itself is the bookmark).
    static void setAutoBackupLocation(const std::filesystem::path& folder);

    // The folder of the legacy upgrade's transfer file, created when missing.
    static Result<std::filesystem::path> getTransferLocation(
        const DataLocations& locations = DataLocations::standard());

private:
    // The folder stored under "ZRAutoBackupLocationData", whether or not it is still there;
    // nothing when none is stored.
    static std::optional<std::filesystem::path> storedAutoBackupLocation();
    static bool isUsableBackupFolder(const std::filesystem::path& folder);
};

}  // namespace ravelong
