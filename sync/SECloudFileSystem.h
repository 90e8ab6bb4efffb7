#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "foundation/Error.h"
#include "foundation/MainLoop.h"

namespace ravelong {

// Error domain and codes of the synchronisation back-ends.
inline constexpr const char* kSEErrorDomain = "SEErrorDomain";
inline constexpr int kSEErrorNoConnection = 1002;
inline constexpr int kSEErrorAuthorization = 1003;
inline constexpr int kSEErrorNoDirectory = 108;
inline constexpr int kSEErrorUnknown = -1;
// Our own codes in the same domain: a path that leaves the back-end's root, a file that is not
// what it claims to be (a hostile or damaged archive), an operation the back-end does not offer.
inline constexpr int kSEErrorInvalidPath = 2001;
inline constexpr int kSEErrorDamagedFile = 2002;
inline constexpr int kSEErrorUnsupported = 2003;
inline constexpr int kSEErrorFileExists = 2004;
// A sync file of another program, and one written by a newer version of this one.
inline constexpr int kSEErrorForeignFile = 2005;
inline constexpr int kSEErrorFutureVersion = 2006;

Error makeSEError(int code, std::string description);

// An entry of a cloud directory listing. A file has a size in bytes; a directory may carry its
// contents (back-ends fill them only when they list recursively).
struct SECloudItem {
    bool isDirectory = false;
    std::string name;
    std::string path;
    std::uint64_t size = 0;
    std::vector<SECloudItem> contents;

    bool operator==(const SECloudItem&) const = default;
};

// The optional operations a back-end may offer; respondsTo() tells which it does.
enum class SEOptionalOperation {
    directoryExists,
    uploadBatch,
    downloadBatch,
    removeBatch,
    performInitialPreparation,
    primeForActivity,
    repairSyncDirectory,
    hashOfDirectory,
    fileUploadMaximumBatchSize,
    fileDownloadMaximumBatchSize,
    bytesRemainingToDownload,
    reset,
};

// A storage back-end of the synchronisation engine. Paths are relative to the back-end's root and
// "/"-separated ("events/a.json"; a leading "/" is the root itself). Every operation is
// asynchronous: its completion runs exactly once, on the main loop, never inside the call that
// started it, and ends with a Status that is ok on success. Call from the main thread.
//
// The optional operations have defaults: the batch forms run the single-item forms one after
// another and report the last error; the others complete with kSEErrorUnsupported. A back-end
// that implements one answers true from respondsTo() for it.
class SECloudFileSystem {
public:
    using Completion = std::function<void(Status)>;
    using IdentityCompletion = std::function<void(std::optional<std::string>, Status)>;
    using ExistsCompletion = std::function<void(bool exists, bool isDirectory, Status)>;
    using DirectoryExistsCompletion = std::function<void(bool isDirectory, Status)>;
    using ListingCompletion = std::function<void(std::optional<std::vector<SECloudItem>>, Status)>;
    using HashCompletion = std::function<void(std::vector<std::uint64_t>, Status)>;

    explicit SECloudFileSystem(MainLoop& loop) : loop_(loop) {}
    virtual ~SECloudFileSystem() = default;
    SECloudFileSystem(const SECloudFileSystem&) = delete;
    SECloudFileSystem& operator=(const SECloudFileSystem&) = delete;

    virtual bool isConnected() const = 0;
    virtual void connect(Completion completion) = 0;
    // A storable, comparable token naming the account (or folder) behind the back-end; nullopt
    // with an ok status when there is none.
    virtual void fetchUserIdentityWithCompletion(IdentityCompletion completion) = 0;
    virtual void fileExistsAtPath(const std::string& path, ExistsCompletion completion) = 0;
    virtual void createDirectoryAtPath(const std::string& path, Completion completion) = 0;
    virtual void contentsOfDirectoryAtPath(const std::string& path,
                                           ListingCompletion completion) = 0;
    virtual void removeItemAtPath(const std::string& path, Completion completion) = 0;
    virtual void uploadLocalFile(const std::filesystem::path& localFile, const std::string& path,
                                 Completion completion) = 0;
    virtual void downloadFromPath(const std::string& path, const std::filesystem::path& localFile,
                                  Completion completion) = 0;

    virtual bool respondsTo(SEOptionalOperation) const { return false; }
    virtual void directoryExistsAtPath(const std::string& path,
                                       DirectoryExistsCompletion completion);
    virtual void uploadLocalFiles(const std::vector<std::filesystem::path>& localFiles,
                                  const std::vector<std::string>& paths, Completion completion);
    virtual void downloadFromPaths(const std::vector<std::string>& paths,
                                   const std::vector<std::filesystem::path>& localFiles,
                                   Completion completion);
    virtual void removeItemsAtPaths(const std::vector<std::string>& paths, Completion completion);
    virtual void performInitialPreparation(Completion completion);
    virtual void primeForActivityWithCompletion(Completion completion);
    virtual void repairSyncDirectory(const std::string& path, Completion completion);
    virtual void hashOfDirectoryWithCompletion(HashCompletion completion);
    virtual std::size_t fileUploadMaximumBatchSize() const { return 0; }
    virtual std::size_t fileDownloadMaximumBatchSize() const { return 0; }
    virtual std::uint64_t bytesRemainingToDownload() const { return 0; }
    virtual void reset() {}

    MainLoop& mainLoop() const { return loop_; }

protected:
    // Runs work on the main loop later, so that a completion never runs inside its caller.
    void deliver(std::function<void()> work) const { loop_.runOnMainThread(std::move(work)); }

private:
    MainLoop& loop_;
};

}  // namespace ravelong
