#include "app/DataLocations.h"

#include "app/AppStrings.h"
#include "foundation/UserFolders.h"

namespace ravelong {

DataLocations::DataLocations(std::filesystem::path applicationSupportFolder,
                             std::filesystem::path sharedContainer)
    : applicationSupport_(std::move(applicationSupportFolder)),
      sharedContainer_(std::move(sharedContainer)) {}

DataLocations DataLocations::standard() {
    return inDataFolder(user_folders::dataHome());
}

DataLocations DataLocations::inDataFolder(const std::filesystem::path& dataFolder) {
    return DataLocations(dataFolder, dataFolder / kGroupContainerFolderName);
}

std::filesystem::path DataLocations::groupLibraryFolder() const {
    return sharedContainer_ / kLibraryFolderName / kApplicationSupportFolderName;
}

std::filesystem::path DataLocations::applicationFilesDirectory() const {
    return applicationSupport_ / kLegacyFolderName;
}

std::filesystem::path DataLocations::oldGroupApplicationFilesDirectory() const {
    return groupLibraryFolder() / kLegacyFolderName;
}

std::filesystem::path DataLocations::groupApplicationFilesDirectory() const {
    return groupLibraryFolder() / kCurrentFolderName;
}

std::filesystem::path DataLocations::backupDirectory() const {
    return groupLibraryFolder() / kBackupFolderName;
}

std::filesystem::path DataLocations::transferDirectory() const {
    return groupLibraryFolder() / kTransferFolderName;
}

std::filesystem::path DataLocations::storeURL() const {
    return groupApplicationFilesDirectory() / kStoreFileName;
}

std::filesystem::path DataLocations::storeURLV1() const {
    return applicationFilesDirectory() / kLegacyStoreFileName;
}

}  // namespace ravelong
