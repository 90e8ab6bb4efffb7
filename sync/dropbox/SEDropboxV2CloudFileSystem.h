#pragma once

#include <memory>
#include <string>
#include <vector>

#include "sync/SECloudFileSystem.h"
#include "sync/dropbox/DBClientsManager.h"

namespace ravelong {

class SEDropboxV2CloudFileSystem;

// What the program tells the Dropbox back-end and hears from it. Every member has a default, so
// a delegate implements only what it needs.
class SEDropboxV2CloudFileSystemDelegate {
public:
    virtual ~SEDropboxV2CloudFileSystemDelegate() = default;
    // Whether linkSessionForDropboxCloudFileSystem is offered.
    virtual bool offersLinkSession() const { return false; }
    // Links an account (the browser sign-in) and then completes.
    virtual void linkSessionForDropboxCloudFileSystem(SEDropboxV2CloudFileSystem&,
                                                      SECloudFileSystem::Completion completion) {
        completion(makeSEError(kSEErrorNoConnection, "Dropbox cannot be linked here."));
    }
    virtual void dropboxCloudFileSystemDidDetectRemoteFileChanges(SEDropboxV2CloudFileSystem&) {}
    virtual bool currentlyDoingBackgroundFetch() const { return false; }
};

// The synchronisation back-end on a Dropbox account, through the HTTP API v2.
//
// Engine paths live under relativePathToRootInDropbox inside the app's Dropbox folder. With
// partitioning on, a 32-character file name in a folder named "data" goes one level deeper, into
// a folder named by its first two characters, so that no folder grows to hold every event file.
// Listings hand back paths relative to the root, as the engine gave them.
//
// Without a linked account every operation but connect() fails with kSEErrorAuthorization.
// Network failures end in kSEErrorNoConnection, refused authorisations in
// kSEErrorAuthorization, a listing of a missing folder in kSEErrorNoDirectory. Call from the main
// thread; completions run on the main loop. The manager must outlive the file system.
class SEDropboxV2CloudFileSystem final : public SECloudFileSystem {
public:
    SEDropboxV2CloudFileSystem(MainLoop& loop, DBClientsManager& clients);
    ~SEDropboxV2CloudFileSystem() override;

    const std::string& relativePathToRootInDropbox() const { return root_; }
    // Prefixes "/" when the value does not start with one.
    void setRelativePathToRootInDropbox(std::string root);
    bool partitionDataFilesBetweenSubdirectories = false;
    bool currentlyUploading() const { return uploadBatches_ > 0; }
    // Not owned; clear it before the delegate goes away.
    SEDropboxV2CloudFileSystemDelegate* delegate = nullptr;

    // The Dropbox path of an engine path, and of a list of them.
    std::string fullDropboxPathForPath(const std::string& path) const;
    std::vector<std::string> fullDropboxPathsForPaths(const std::vector<std::string>& paths) const;

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
    void uploadLocalFiles(const std::vector<std::filesystem::path>& localFiles,
                          const std::vector<std::string>& paths, Completion completion) override;
    void downloadFromPaths(const std::vector<std::string>& paths,
                           const std::vector<std::filesystem::path>& localFiles,
                           Completion completion) override;
    void removeItemsAtPaths(const std::vector<std::string>& paths, Completion completion) override;

    // Completes at once (ok when connected, kSEErrorAuthorization otherwise) and, when
    // connected, starts watching the root for changes made elsewhere: each one reaches the
    // delegate's dropboxCloudFileSystemDidDetectRemoteFileChanges, unless our own upload batch or
    // a background fetch is running. Watching ends with the file system.
    void subscribeForRemoteFileChangeNotificationsWithCompletion(Completion completion);

    // How long the watch waits after a failure before it asks again, in seconds.
    double monitorRetrySeconds = 30;
    // How long one long poll waits for a change, in seconds (the server takes 30 to 480).
    int longPollTimeoutSeconds = 300;
    // Non-zero: the watch's progress and failures are logged.
    int loggingLevel = 0;

private:
    DBUserClient* client();
    // Completes with the authorisation error when no account is linked; false then.
    bool requireClient(const Completion& completion);
    std::string enginePathFor(const DBMetadata& entry) const;
    void monitorCloudFileChanges();
    void longPollWithCursor(const std::string& cursor);
    void log(const std::string& message, const char* function, int line) const;

    DBClientsManager& clients_;
    std::string root_;
    int uploadBatches_ = 0;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    MainLoop::TimerId monitorTimer_ = 0;
    HttpTransport::RequestId longPoll_ = 0;
    bool monitoring_ = false;
};

}  // namespace ravelong
