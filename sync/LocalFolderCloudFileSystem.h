#pragma once

#include <filesystem>
#include <optional>

#include "sync/SECloudFileSystem.h"

namespace ravelong {

// The back-end of a folder the user already keeps in step between computers with a sync tool
// (a peer-to-peer folder sync, a cloud drive's desktop client, a network share). The folder is
// the cloud: its identity is the folder itself, so two computers pointed at copies of one synced
// folder share their data.
//
// Because sync tools pick up files while they are written, every write goes to a hidden
// temporary name in the destination folder and is renamed into place, so another computer
// sees either nothing or the whole file. Names beginning with "." or "~" are left out of
// listings: they are our own unfinished writes and the sync tools' partial downloads. Copies a
// sync tool makes when two computers changed one file ("a.sync-conflict-20260101-120000-XYZ.json",
// "a (conflicted copy).json") are listed like any other file, so that their contents are read
// and not lost.
//
// Paths that would leave the folder (".." components) are refused with kSEErrorInvalidPath.
// Work runs on the calling (main) thread; completions run later on the main loop.
class LocalFolderCloudFileSystem final : public SECloudFileSystem {
public:
    LocalFolderCloudFileSystem(MainLoop& loop, std::filesystem::path root);

    const std::filesystem::path& root() const { return root_; }

    bool isConnected() const override;
    // Connected while the folder exists and is a folder; connecting fails with
    // kSEErrorNoConnection otherwise (an unmounted share, a removed folder). The folder is not
    // created here: a missing folder usually means a drive that is not mounted.
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
    // A value over the names, sizes and modification times of every file under the root: it
    // changes whenever a file is added, removed or rewritten.
    void hashOfDirectoryWithCompletion(HashCompletion completion) override;

    // The absolute location of a path inside the folder, or kSEErrorInvalidPath.
    Result<std::filesystem::path> resolve(const std::string& path) const;

    // True for the names listings leave out (hidden and partial files).
    static bool isHiddenName(const std::string& name);
    // True for the copies sync tools make of a file changed on two computers at once.
    static bool isConflictCopyName(const std::string& name);

private:
    std::filesystem::path root_;
};

}  // namespace ravelong
