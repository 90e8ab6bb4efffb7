#pragma once

#include <filesystem>
#include <functional>
#include <optional>

#include "foundation/MainLoop.h"
#include "foundation/UserDefaults.h"
#include "sync/SyncBackendFactory.h"

namespace ravelong {

// The synced folder (service 5): a folder that a sync tool the user trusts keeps equal on every
// computer. Its path is the standard default "RavelongSyncFolder", written once the first
// connection to a newly chosen folder succeeded. Files are stored as they are, unwrapped, since
// people and their sync tools read that folder too.
class FolderSyncBackend final : public SyncBackendFactory {
public:
    FolderSyncBackend(MainLoop& loop, UserDefaults& standardDefaults,
                      std::function<bool(const std::filesystem::path&)> isNetworkFolder);

    // An absolute folder this user can write, or why not. "/a/b/" is taken as "/a/b".
    static Result<std::filesystem::path> checkedFolder(const std::filesystem::path& chosen);

    // The folder of the next connection; kept by keepChoice().
    void propose(std::filesystem::path folder) { proposed_ = std::move(folder); }
    // The folder in use or proposed: the proposal first.
    std::optional<std::filesystem::path> folder() const;
    std::optional<std::filesystem::path> storedFolder() const;

    SyncService service() const override { return SyncService::folder; }
    bool isConfigured() const override;
    Error whyNotConfigured() const override;
    std::unique_ptr<SECloudFileSystem> makeCloudFileSystem() override;
    bool needsNetwork() const override;
    void keepChoice() override;
    void forget() override;

private:
    MainLoop& loop_;
    UserDefaults& standardDefaults_;
    std::function<bool(const std::filesystem::path&)> isNetworkFolder_;
    std::optional<std::filesystem::path> proposed_;
};

}  // namespace ravelong
