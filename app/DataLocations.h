#pragma once

#include <filesystem>

namespace ravelong {

// Where the program keeps its data. Two roots: the user's data folder ($XDG_DATA_HOME, else
// ~/.local/share) and the group container below it ("ravelong-group"), shared with helper
// programs. The folders of the program's generations sit below them:
//
//   <data>/Ravelong/Ravelong.sqlite                                  legacy store (<= 1.2.4)
//   <group>/Library/Application Support/Ravelong/                    intermediate generation
//   <group>/Library/Application Support/Ravelong2/RavelongDB.sqlite  the live store
//   <group>/Library/Application Support/Backup/                      automatic backups
//   <group>/Library/Application Support/Transfer/                    legacy upgrade transfer file
//
// Only paths are computed here; nothing is created. Safe to use from any thread.
class DataLocations {
public:
    DataLocations(std::filesystem::path applicationSupportFolder,
                  std::filesystem::path sharedContainer);

    // The roots of this user: $XDG_DATA_HOME when it is set to an absolute path (the base
    // directory rules ignore a relative one), else ~/.local/share.
    static DataLocations standard();
    // Both roots below one data folder, as standard() lays them out (for tests and tools).
    static DataLocations inDataFolder(const std::filesystem::path& dataFolder);

    const std::filesystem::path& applicationSupportFolder() const { return applicationSupport_; }
    const std::filesystem::path& sharedContainer() const { return sharedContainer_; }

    // The legacy folder, holding the store of versions up to 1.2.4.
    std::filesystem::path applicationFilesDirectory() const;
    // The folder of the intermediate generation's store.
    std::filesystem::path oldGroupApplicationFilesDirectory() const;
    // The folder of the live store.
    std::filesystem::path groupApplicationFilesDirectory() const;
    std::filesystem::path backupDirectory() const;
    std::filesystem::path transferDirectory() const;

    // The live store file and the legacy store file.
    std::filesystem::path storeURL() const;
    std::filesystem::path storeURLV1() const;

private:
    std::filesystem::path groupLibraryFolder() const;

    std::filesystem::path applicationSupport_;
    std::filesystem::path sharedContainer_;
};

}  // namespace ravelong
