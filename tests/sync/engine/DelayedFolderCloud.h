#pragma once

#include <filesystem>
#include <map>
#include <random>
#include <string>

#include "foundation/Clock.h"
#include "sync/LocalFolderCloudFileSystem.h"

namespace ravelong::sync_testing {

// The shared folder as one computer sees it: a file another computer wrote shows up only after a
// random delay of its own (so files arrive late and out of order), and while the computer is cut
// off every operation fails as a lost connection would.
class DelayedFolderCloud final : public SECloudFileSystem {
public:
    DelayedFolderCloud(MainLoop& loop, const Clock& clock, std::filesystem::path root,
                       std::mt19937* random, const double* maximumDelay);

    bool online = true;

    bool isConnected() const override { return online && folder_.isConnected(); }
    void connect(Completion completion) override;
    void fetchUserIdentityWithCompletion(IdentityCompletion completion) override;
    void fileExistsAtPath(const std::string& path, ExistsCompletion completion) override;
    void createDirectoryAtPath(const std::string& path, Completion completion) override;
    void contentsOfDirectoryAtPath(const std::string& path, ListingCompletion completion) override;
    void removeItemAtPath(const std::string& path, Completion completion) override;
    void uploadLocalFile(const std::filesystem::path& localFile, const std::string& path,
                         Completion completion) override;
    void downloadFromPath(const std::string& path, const std::filesystem::path& localFile,
                          Completion completion) override;

private:
    bool offline(const Completion& completion);

    LocalFolderCloudFileSystem folder_;
    const Clock& clock_;
    std::mt19937* random_;
    const double* maximumDelay_;
    std::map<std::string, Instant> visibleFrom_;
};

}  // namespace ravelong::sync_testing
