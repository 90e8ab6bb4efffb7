#include "store/StoreFailures.h"

#include "store/FileHolders.h"

namespace ravelong::store_failures {

namespace {

std::string folderOf(const std::filesystem::path& file) {
    std::error_code ec;
    if (std::filesystem::is_directory(file, ec))
        return file.string();
    return file.parent_path().empty() ? std::string(".") : file.parent_path().string();
}

}  // namespace

Error describe(StoreErrorCode code, const std::filesystem::path& file, const std::string& what,
               const std::string& detail) {
    const std::string folder = folderOf(file);
    std::string description = what;
    std::string reason;
    switch (code) {
        case StoreErrorCode::DiskFull:
            description += " The disk that holds " + folder + " is full.";
            reason =
                "Free some space on that disk, then try again. The data file was left as it "
                "was.";
            break;
        case StoreErrorCode::NoPermission:
            description += " Ravelong may not write to " + file.string() + ".";
            reason = "Give your user write permission to the folder " + folder +
                     " and the files in it, then try again. The data file was left as it was.";
            break;
        case StoreErrorCode::ReadOnlyFileSystem:
            description += " The folder " + folder + " is on a file system mounted read-only.";
            reason =
                "Mount it writable again (or move your data to a writable disk), then try "
                "again. The data file was left as it was.";
            break;
        case StoreErrorCode::Busy: {
            const std::string holders = file_holders::describe(file);
            description += " The data file " + file.string() + " is in use by " + holders + ".";
            reason = "Quit " + holders +
                     " or wait until it is done, then try again. The data file was left as it was.";
            break;
        }
        case StoreErrorCode::Damaged:
            description = "The data file " + file.string() + " is damaged.";
            reason =
                "It was left unchanged. Quit Ravelong and restore the file from a backup, or "
                "move it out of " +
                folder + " to start with a new one.";
            break;
        default:
            reason = detail;
            return storeError(code, description, reason);
    }
    if (!detail.empty())
        reason += " (" + detail + ")";
    return storeError(code, description, reason);
}

}  // namespace ravelong::store_failures
