#pragma once

#include <filesystem>
#include <memory>

#include "sync/SECloudFileSystem.h"
#include "sync/ZipArchive.h"

namespace ravelong {

// Wraps another back-end and stores every file in it as a one-entry zip archive named after the
// engine's path with ".synczip" appended, so the engine's files travel compressed. Folders are
// passed through unchanged. Every read falls back to the plain name, so files written by an
// unwrapped back-end stay readable.
//
// Archives are made and opened in a private temporary folder
// (<system temp>/SEZipCloudFileSystem/<unique>), emptied when the wrapper is built and removed
// when it is destroyed. A downloaded entry lands under its upload-time name in the folder of the
// requested local file, so callers give the local file the same last path component it had at
// upload. Hostile archives (zip bombs, entry names with paths) are refused by the unzip step; see
// zip_archive::unzipSingleFile.
class SEZipCloudFileSystem final : public SECloudFileSystem {
public:
    static constexpr const char* kExtension = "synczip";

    // `wrapped` must not be null; its main loop is the wrapper's.
    explicit SEZipCloudFileSystem(std::unique_ptr<SECloudFileSystem> wrapped,
                                  const std::filesystem::path& systemTemporaryDirectory =
                                      std::filesystem::temp_directory_path(),
                                  std::uint64_t inflateLimit = zip_archive::kDefaultInflateLimit);
    ~SEZipCloudFileSystem() override;

    SECloudFileSystem* cloudFileSystem() const { return wrapped_.get(); }
    const std::filesystem::path& tempDirPath() const { return tempDirPath_; }
    // A fresh path inside tempDirPath().
    std::filesystem::path tempFilePath() const;

    bool isConnected() const override;
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

    bool respondsTo(SEOptionalOperation operation) const override;
    void directoryExistsAtPath(const std::string& path,
                               DirectoryExistsCompletion completion) override;
    void uploadLocalFiles(const std::vector<std::filesystem::path>& localFiles,
                          const std::vector<std::string>& paths, Completion completion) override;
    void downloadFromPaths(const std::vector<std::string>& paths,
                           const std::vector<std::filesystem::path>& localFiles,
                           Completion completion) override;
    void removeItemsAtPaths(const std::vector<std::string>& paths, Completion completion) override;
    void performInitialPreparation(Completion completion) override;
    void primeForActivityWithCompletion(Completion completion) override;
    void repairSyncDirectory(const std::string& path, Completion completion) override;
    void hashOfDirectoryWithCompletion(HashCompletion completion) override;
    std::size_t fileUploadMaximumBatchSize() const override;
    std::size_t fileDownloadMaximumBatchSize() const override;
    std::uint64_t bytesRemainingToDownload() const override;
    // Resets the wrapped back-end, then lets it go; afterwards every operation fails with
    // kSEErrorNoConnection.
    void reset() override;

    static std::string zippedPath(const std::string& path);

private:
    bool ensureWrapped(const std::function<void()>& failNow) const;

    std::unique_ptr<SECloudFileSystem> wrapped_;
    std::filesystem::path tempDirPath_;
    std::uint64_t inflateLimit_;
};

}  // namespace ravelong
