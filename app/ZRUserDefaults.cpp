#include "app/ZRUserDefaults.h"

#include <string>
#include <system_error>

#include "app/PreferenceKeys.h"
#include "foundation/AtomicFile.h"
#include "foundation/Log.h"
#include "foundation/UserDefaults.h"

namespace ravelong {

namespace {

Result<std::filesystem::path> existingFolder(const std::filesystem::path& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec || !std::filesystem::is_directory(folder, ec)) {
        return Error{kRavelongErrorDomain, kFileWriteErrorCode,
                     "The folder " + folder.string() + " could not be created.",
                     ec ? ec.message() : "A file is in its place."};
    }
    return folder;
}

}  // namespace

std::optional<std::filesystem::path> ZRUserDefaults::storedAutoBackupLocation() {
    const UserDefaults& defaults = UserDefaults::standard();
    if (!defaults.exists(kZRAutoBackupLocationData))
        return std::nullopt;
    const UserDefaults::Data bytes = defaults.dataForKey(kZRAutoBackupLocationData);
    return std::filesystem::path(std::string(bytes.begin(), bytes.end()));
}

bool ZRUserDefaults::isUsableBackupFolder(const std::filesystem::path& folder) {
    std::error_code ec;
    return folder.is_absolute() && std::filesystem::is_directory(folder, ec);
}

Result<std::filesystem::path> ZRUserDefaults::getAutoBackupLocation(
    const DataLocations& locations) {
    if (const std::optional<std::filesystem::path> chosen = storedAutoBackupLocation()) {
        if (isUsableBackupFolder(*chosen))
            return *chosen;
        logWarning("backup folder", "the backup folder " + chosen->string() +
                                        " is no longer available; using the default folder");
        UserDefaults& defaults = UserDefaults::standard();
        defaults.remove(kZRAutoBackupLocationData);
        (void)defaults.synchronize();
    }
    return existingFolder(locations.backupDirectory());
}

std::filesystem::path ZRUserDefaults::findAutoBackupLocation(const DataLocations& locations) {
    const std::optional<std::filesystem::path> chosen = storedAutoBackupLocation();
    return chosen && isUsableBackupFolder(*chosen) ? *chosen : locations.backupDirectory();
}

void ZRUserDefaults::setAutoBackupLocation(const std::filesystem::path& folder) {
    const std::string text = folder.string();
    UserDefaults& defaults = UserDefaults::standard();
    defaults.setData(kZRAutoBackupLocationData, UserDefaults::Data(text.begin(), text.end()));
    (void)defaults.synchronize();
}

Result<std::filesystem::path> ZRUserDefaults::getTransferLocation(const DataLocations& locations) {
    return existingFolder(locations.transferDirectory());
}

}  // namespace ravelong
