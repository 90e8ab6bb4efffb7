#include "sync/engine/DelayedFolderCloud.h"

#include <vector>

namespace ravelong::sync_testing {

namespace fs = std::filesystem;

DelayedFolderCloud::DelayedFolderCloud(MainLoop& loop, const Clock& clock, fs::path root,
                                       std::mt19937* random, const double* maximumDelay)
    : SECloudFileSystem(loop),
      folder_(loop, std::move(root)),
      clock_(clock),
      random_(random),
      maximumDelay_(maximumDelay) {}

bool DelayedFolderCloud::offline(const Completion& completion) {
    if (online)
        return false;
    deliver([completion] { completion(makeSEError(kSEErrorNoConnection, "Cut off.")); });
    return true;
}

void DelayedFolderCloud::connect(Completion completion) {
    if (!offline(completion))
        folder_.connect(std::move(completion));
}

void DelayedFolderCloud::fetchUserIdentityWithCompletion(IdentityCompletion completion) {
    folder_.fetchUserIdentityWithCompletion(std::move(completion));
}

void DelayedFolderCloud::fileExistsAtPath(const std::string& path, ExistsCompletion completion) {
    folder_.fileExistsAtPath(path, std::move(completion));
}

void DelayedFolderCloud::createDirectoryAtPath(const std::string& path, Completion completion) {
    if (!offline(completion))
        folder_.createDirectoryAtPath(path, std::move(completion));
}

void DelayedFolderCloud::contentsOfDirectoryAtPath(const std::string& path,
                                                   ListingCompletion completion) {
    if (!online) {
        deliver([completion] {
            completion(std::nullopt, makeSEError(kSEErrorNoConnection, "Cut off."));
        });
        return;
    }
    folder_.contentsOfDirectoryAtPath(
        path, [this, completion = std::move(completion)](auto items, Status status) {
            if (items) {
                std::vector<SECloudItem> arrived;
                for (auto& item : *items) {
                    auto [known, added] = visibleFrom_.try_emplace(item.path, 0.0);
                    if (added && *maximumDelay_ > 0) {
                        std::uniform_real_distribution<double> delay(0, *maximumDelay_);
                        known->second = clock_.now() + delay(*random_);
                    }
                    if (known->second <= clock_.now())
                        arrived.push_back(std::move(item));
                }
                items = std::move(arrived);
            }
            completion(std::move(items), status);
        });
}

void DelayedFolderCloud::removeItemAtPath(const std::string& path, Completion completion) {
    if (!offline(completion))
        folder_.removeItemAtPath(path, std::move(completion));
}

void DelayedFolderCloud::uploadLocalFile(const fs::path& localFile, const std::string& path,
                                         Completion completion) {
    if (offline(completion))
        return;
    visibleFrom_[path] = 0.0;  // our own file is here at once
    folder_.uploadLocalFile(localFile, path, std::move(completion));
}

void DelayedFolderCloud::downloadFromPath(const std::string& path, const fs::path& localFile,
                                          Completion completion) {
    if (!offline(completion))
        folder_.downloadFromPath(path, localFile, std::move(completion));
}

}  // namespace ravelong::sync_testing
