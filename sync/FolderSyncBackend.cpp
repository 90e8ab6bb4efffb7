#include "sync/FolderSyncBackend.h"

#include <unistd.h>

#include "app/AppStrings.h"
#include "sync/LocalFolderCloudFileSystem.h"
#include "sync/SyncTexts.h"

namespace ravelong {

namespace t = sync_texts;
namespace fs = std::filesystem;

FolderSyncBackend::FolderSyncBackend(MainLoop& loop, UserDefaults& standardDefaults,
                                     std::function<bool(const fs::path&)> isNetworkFolder)
    : loop_(loop),
      standardDefaults_(standardDefaults),
      isNetworkFolder_(std::move(isNetworkFolder)) {}

Result<fs::path> FolderSyncBackend::checkedFolder(const fs::path& chosen) {
    fs::path folder = chosen.lexically_normal();
    if (folder.has_filename() == false && folder.has_parent_path() && folder != folder.root_path())
        folder = folder.parent_path();  // "/a/b/" is "/a/b"
    if (folder.empty() || !folder.is_absolute())
        return makeSEError(kSEErrorInvalidPath, std::string(t::kFolderNotAbsolute));
    std::error_code ec;
    if (!fs::is_directory(folder, ec))
        return makeSEError(kSEErrorNoDirectory, formatText(t::kFolderMissing, {folder.string()}));
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        return makeSEError(kSEErrorAuthorization,
                           formatText(t::kFolderNotWritable, {folder.string()}));
    return folder;
}

std::optional<fs::path> FolderSyncBackend::storedFolder() const {
    const std::string stored = standardDefaults_.stringForKey(t::kRavelongSyncFolder);
    if (stored.empty())
        return std::nullopt;
    return fs::path(stored);
}

std::optional<fs::path> FolderSyncBackend::folder() const {
    return proposed_ ? proposed_ : storedFolder();
}

bool FolderSyncBackend::isConfigured() const {
    const auto chosen = folder();
    return chosen && chosen->is_absolute();
}

Error FolderSyncBackend::whyNotConfigured() const {
    return makeSEError(kSEErrorInvalidPath, std::string(t::kFolderNotAbsolute));
}

std::unique_ptr<SECloudFileSystem> FolderSyncBackend::makeCloudFileSystem() {
    if (!isConfigured())
        return nullptr;
    return std::make_unique<LocalFolderCloudFileSystem>(loop_, *folder());
}

bool FolderSyncBackend::needsNetwork() const {
    const auto chosen = folder();
    return chosen && isNetworkFolder_ && isNetworkFolder_(*chosen);
}

void FolderSyncBackend::keepChoice() {
    if (proposed_)
        standardDefaults_.setString(t::kRavelongSyncFolder, proposed_->string());
    proposed_.reset();
}

void FolderSyncBackend::forget() {
    proposed_.reset();
    standardDefaults_.remove(t::kRavelongSyncFolder);
}

}  // namespace ravelong
