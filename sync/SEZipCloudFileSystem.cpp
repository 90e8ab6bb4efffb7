#include "sync/SEZipCloudFileSystem.h"

#include <memory>
#include <random>

#include "foundation/Uuid.h"

namespace ravelong {

namespace fs = std::filesystem;

namespace {

Error releasedError() {
    return makeSEError(kSEErrorNoConnection, "The storage service was reset.");
}

void removeQuietly(const fs::path& path) {
    std::error_code ec;
    fs::remove(path, ec);
}

bool hasSynczipExtension(const std::string& name) {
    static const std::string suffix = std::string(".") + SEZipCloudFileSystem::kExtension;
    return name.size() > suffix.size() &&
           name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

// Every operation starts with this: after reset() there is no wrapped back-end left to ask.
#define REQUIRE_WRAPPED(...)                                                        \
    if (!wrapped_) {                                                                \
        deliver([completion = std::move(completion)] { completion(__VA_ARGS__); }); \
        return;                                                                     \
    }

SEZipCloudFileSystem::SEZipCloudFileSystem(std::unique_ptr<SECloudFileSystem> wrapped,
                                           const fs::path& systemTemporaryDirectory,
                                           std::uint64_t inflateLimit)
    : SECloudFileSystem(wrapped->mainLoop()),
      wrapped_(std::move(wrapped)),
      tempDirPath_(systemTemporaryDirectory / "SEZipCloudFileSystem" / makeUuid()),
      inflateLimit_(inflateLimit) {
    std::error_code ec;
    fs::remove_all(tempDirPath_, ec);
    fs::create_directories(tempDirPath_, ec);
}

SEZipCloudFileSystem::~SEZipCloudFileSystem() {
    std::error_code ec;
    fs::remove_all(tempDirPath_, ec);
}

std::string SEZipCloudFileSystem::zippedPath(const std::string& path) {
    return path + "." + kExtension;
}

fs::path SEZipCloudFileSystem::tempFilePath() const {
    return tempDirPath_ / makeUuid();
}

bool SEZipCloudFileSystem::isConnected() const {
    return wrapped_ && wrapped_->isConnected();
}

void SEZipCloudFileSystem::connect(Completion completion) {
    REQUIRE_WRAPPED(releasedError())
    wrapped_->connect(std::move(completion));
}

void SEZipCloudFileSystem::fetchUserIdentityWithCompletion(IdentityCompletion completion) {
    REQUIRE_WRAPPED(std::nullopt, releasedError())
    wrapped_->fetchUserIdentityWithCompletion(std::move(completion));
}

void SEZipCloudFileSystem::fileExistsAtPath(const std::string& path, ExistsCompletion completion) {
    REQUIRE_WRAPPED(false, false, releasedError())
    wrapped_->fileExistsAtPath(zippedPath(path),
                               [this, path, completion = std::move(completion)](
                                   bool exists, bool isDirectory, Status status) mutable {
                                   if (!status.ok())
                                       return completion(false, false, status);
                                   if (exists)
                                       return completion(exists, isDirectory, Status());
                                   if (!wrapped_)
                                       return completion(false, false, releasedError());
                                   wrapped_->fileExistsAtPath(path, std::move(completion));
                               });
}

void SEZipCloudFileSystem::directoryExistsAtPath(const std::string& path,
                                                 DirectoryExistsCompletion completion) {
    REQUIRE_WRAPPED(false, releasedError())
    if (wrapped_->respondsTo(SEOptionalOperation::directoryExists)) {
        wrapped_->directoryExistsAtPath(
            path, [completion = std::move(completion)](bool exists, Status status) {
                completion(exists && status.ok(), status);
            });
        return;
    }
    fileExistsAtPath(
        path, [completion = std::move(completion)](bool exists, bool isDirectory, Status status) {
            completion(exists && isDirectory && status.ok(), status);
        });
}

void SEZipCloudFileSystem::createDirectoryAtPath(const std::string& path, Completion completion) {
    REQUIRE_WRAPPED(releasedError())
    wrapped_->createDirectoryAtPath(path, std::move(completion));
}

void SEZipCloudFileSystem::contentsOfDirectoryAtPath(const std::string& path,
                                                     ListingCompletion completion) {
    REQUIRE_WRAPPED(std::nullopt, releasedError())
    wrapped_->contentsOfDirectoryAtPath(
        path, [completion = std::move(completion)](std::optional<std::vector<SECloudItem>> items,
                                                   Status status) {
            if (!status.ok())
                return completion(std::nullopt, status);
            if (items)
                for (auto& item : *items)
                    if (!item.isDirectory && hasSynczipExtension(item.name))
                        item.name.resize(item.name.size() - 1 - std::string(kExtension).size());
            completion(std::move(items), Status());
        });
}

void SEZipCloudFileSystem::removeItemAtPath(const std::string& path, Completion completion) {
    REQUIRE_WRAPPED(releasedError())
    wrapped_->removeItemAtPath(zippedPath(path), [this, path, completion = std::move(completion)](
                                                     Status zippedStatus) mutable {
        if (!wrapped_)
            return completion(zippedStatus.ok() ? Status() : releasedError());
        wrapped_->removeItemAtPath(
            path, [zippedStatus, completion = std::move(completion)](Status plainStatus) {
                completion(!zippedStatus.ok() && !plainStatus.ok() ? plainStatus : Status());
            });
    });
}

void SEZipCloudFileSystem::removeItemsAtPaths(const std::vector<std::string>& paths,
                                              Completion completion) {
    REQUIRE_WRAPPED(Status())
    std::vector<std::string> all = paths;
    for (const auto& path : paths)
        all.push_back(zippedPath(path));
    // Either name may be missing, so the wrapped back-end's complaints mean nothing here.
    wrapped_->removeItemsAtPaths(
        all, [completion = std::move(completion)](Status) { completion(Status()); });
}

void SEZipCloudFileSystem::uploadLocalFile(const fs::path& localFile, const std::string& path,
                                           Completion completion) {
    REQUIRE_WRAPPED(releasedError())
    fs::path archive = tempFilePath();
    // A failed zip leaves no archive; the upload of the missing file then reports the failure.
    (void)zip_archive::zipSingleFile(localFile, archive);
    wrapped_->uploadLocalFile(archive, zippedPath(path),
                              [archive, completion = std::move(completion)](Status status) {
                                  removeQuietly(archive);
                                  completion(status);
                              });
}

void SEZipCloudFileSystem::uploadLocalFiles(const std::vector<fs::path>& localFiles,
                                            const std::vector<std::string>& paths,
                                            Completion completion) {
    REQUIRE_WRAPPED(releasedError())
    if (localFiles.size() != paths.size()) {
        deliver([completion = std::move(completion)] {
            completion(makeSEError(kSEErrorUnknown, "Upload lists of different lengths."));
        });
        return;
    }
    std::vector<fs::path> archives;
    std::vector<std::string> zippedPaths;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        archives.push_back(tempFilePath());
        (void)zip_archive::zipSingleFile(localFiles[i], archives.back());
        zippedPaths.push_back(zippedPath(paths[i]));
    }
    wrapped_->uploadLocalFiles(archives, zippedPaths,
                               [archives, completion = std::move(completion)](Status status) {
                                   for (const auto& archive : archives)
                                       removeQuietly(archive);
                                   completion(status);
                               });
}

void SEZipCloudFileSystem::downloadFromPath(const std::string& path, const fs::path& localFile,
                                            Completion completion) {
    REQUIRE_WRAPPED(releasedError())
    fs::path archive = tempFilePath();
    wrapped_->downloadFromPath(
        zippedPath(path), archive,
        [this, path, localFile, archive,
         completion = std::move(completion)](Status status) mutable {
            if (!status.ok()) {
                removeQuietly(archive);
                if (!wrapped_)
                    return completion(releasedError());
                // Written by a back-end without the wrapping: read the plain name.
                wrapped_->downloadFromPath(path, localFile, std::move(completion));
                return;
            }
            Status unzipped =
                zip_archive::unzipSingleFile(archive, localFile.parent_path(), inflateLimit_);
            removeQuietly(archive);
            completion(unzipped);
        });
}

void SEZipCloudFileSystem::downloadFromPaths(const std::vector<std::string>& paths,
                                             const std::vector<fs::path>& localFiles,
                                             Completion completion) {
    REQUIRE_WRAPPED(releasedError())
    if (localFiles.size() != paths.size()) {
        deliver([completion = std::move(completion)] {
            completion(makeSEError(kSEErrorUnknown, "Download lists of different lengths."));
        });
        return;
    }
    std::vector<fs::path> archives;
    std::vector<std::string> zippedPaths;
    for (const auto& path : paths) {
        archives.push_back(tempFilePath());
        zippedPaths.push_back(zippedPath(path));
    }
    wrapped_->downloadFromPaths(
        zippedPaths, archives,
        [this, paths, localFiles, archives,
         completion = std::move(completion)](Status status) mutable {
            if (!status.ok()) {
                for (const auto& archive : archives)
                    removeQuietly(archive);
                if (!wrapped_)
                    return completion(releasedError());
                // A folder may hold zipped and plain files side by side (written by computers
                // with and without the wrapping), so one missing archive must not send every
                // item to its plain name: each item falls back on its own.
                SECloudFileSystem::downloadFromPaths(paths, localFiles, std::move(completion));
                return;
            }
            Status result;
            std::size_t i = 0;
            for (; i < archives.size() && result.ok(); ++i) {
                result = zip_archive::unzipSingleFile(archives[i], localFiles[i].parent_path(),
                                                      inflateLimit_);
                removeQuietly(archives[i]);
            }
            for (; i < archives.size(); ++i)
                removeQuietly(archives[i]);
            completion(result);
        });
}

bool SEZipCloudFileSystem::respondsTo(SEOptionalOperation operation) const {
    switch (operation) {
        case SEOptionalOperation::removeBatch:
        case SEOptionalOperation::repairSyncDirectory:
        case SEOptionalOperation::performInitialPreparation:
        case SEOptionalOperation::primeForActivity:
        case SEOptionalOperation::fileUploadMaximumBatchSize:
        case SEOptionalOperation::uploadBatch:
        case SEOptionalOperation::fileDownloadMaximumBatchSize:
        case SEOptionalOperation::downloadBatch:
            return wrapped_ && wrapped_->respondsTo(operation);
        case SEOptionalOperation::directoryExists:
        case SEOptionalOperation::hashOfDirectory:
        case SEOptionalOperation::bytesRemainingToDownload:
        case SEOptionalOperation::reset:
            return true;
    }
    return false;
}

void SEZipCloudFileSystem::performInitialPreparation(Completion completion) {
    REQUIRE_WRAPPED(releasedError())
    wrapped_->performInitialPreparation(std::move(completion));
}

void SEZipCloudFileSystem::primeForActivityWithCompletion(Completion completion) {
    REQUIRE_WRAPPED(releasedError())
    wrapped_->primeForActivityWithCompletion(std::move(completion));
}

void SEZipCloudFileSystem::repairSyncDirectory(const std::string& path, Completion completion) {
    REQUIRE_WRAPPED(releasedError())
    wrapped_->repairSyncDirectory(path, std::move(completion));
}

void SEZipCloudFileSystem::hashOfDirectoryWithCompletion(HashCompletion completion) {
    if (wrapped_ && wrapped_->respondsTo(SEOptionalOperation::hashOfDirectory)) {
        wrapped_->hashOfDirectoryWithCompletion(std::move(completion));
        return;
    }
    // Without a real hash every call must look like a change, or changes would be missed.
    static thread_local std::mt19937_64 random{std::random_device{}()};
    std::uint64_t value = std::uniform_int_distribution<std::uint64_t>(0, 999'999'999)(random);
    deliver([completion = std::move(completion), value] { completion({value}, Status()); });
}

std::size_t SEZipCloudFileSystem::fileUploadMaximumBatchSize() const {
    return wrapped_ ? wrapped_->fileUploadMaximumBatchSize() : 0;
}

std::size_t SEZipCloudFileSystem::fileDownloadMaximumBatchSize() const {
    return wrapped_ ? wrapped_->fileDownloadMaximumBatchSize() : 0;
}

std::uint64_t SEZipCloudFileSystem::bytesRemainingToDownload() const {
    return wrapped_ && wrapped_->respondsTo(SEOptionalOperation::bytesRemainingToDownload)
               ? wrapped_->bytesRemainingToDownload()
               : 0;
}

void SEZipCloudFileSystem::reset() {
    if (wrapped_ && wrapped_->respondsTo(SEOptionalOperation::reset))
        wrapped_->reset();
    wrapped_.reset();
}

}  // namespace ravelong
