#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "foundation/MainLoop.h"
#include "foundation/UserDefaults.h"
#include "sync/SyncBackendFactory.h"
#include "sync/dropbox/DBClientsManager.h"
#include "sync/dropbox/DBLoopbackRedirect.h"
#include "sync/dropbox/DBOAuthFlow.h"
#include "sync/dropbox/DBOAuthTokenSource.h"
#include "sync/dropbox/SEDropboxV2CloudFileSystem.h"

namespace ravelong {

// Dropbox (service 2): the user's own Dropbox app (its app key is the standard default
// "RavelongDropboxAppKey"), the account linked through the browser, the tokens in the secret
// store and nowhere else. The engine's files live under kRootFolder of the app's Dropbox area,
// each one zipped (SEZipCloudFileSystem), since nobody reads them there but the program.
//
// Linking: beginLink() hands back the page to open in the browser. Where a loopback redirect
// on 127.0.0.1 can be opened, the browser brings the code back by itself; otherwise the page
// shows a code, which the user pastes (finishLinkWithCode also takes the whole address of the
// redirect, copied from a browser that could not reach it). The code is exchanged for tokens,
// which are kept in the secret store; then the completion runs. A refused, failed or cancelled
// sign-in leaves whatever was linked before as it was. Main thread only.
class DropboxSyncBackend final : public SyncBackendFactory,
                                 private SEDropboxV2CloudFileSystemDelegate {
public:
    static constexpr const char* kRootFolder = "/Ravelong";
    // The loopback redirect's port, registered with the user's Dropbox app as
    // "http://127.0.0.1:50471/". While another program holds it, the code is pasted instead.
    static constexpr int kRedirectPort = 50471;

    struct Services {
        MainLoop& loop;
        UserDefaults& standardDefaults;
        DBSecretStore& secrets;
        DBClientOptions clientOptions = {};
        std::string authorizeURL = "https://www.dropbox.com/oauth2/authorize";
        std::string tokenURL = "https://api.dropboxapi.com/oauth2/token";
        // Where the zip wrapping keeps its archives.
        std::filesystem::path temporaryDirectory = std::filesystem::temp_directory_path();
        // Whether the loopback redirect is tried (off: always the pasted code).
        bool useLoopbackRedirect = true;
        // 0: any free port (a service that takes every loopback port, like the tests' fake).
        int redirectPort = kRedirectPort;
    };

    explicit DropboxSyncBackend(Services services);
    ~DropboxSyncBackend() override;

    std::string appKey() const;
    // Trims and checks the key and keeps it; refused while an account is linked (its tokens
    // belong to the old app) and while a sign-in runs.
    Status setAppKey(const std::string& appKey);
    bool isLinked() const;

    using LinkCompletion = std::function<void(Status)>;
    // Starts a sign-in (ending one that runs, whose completion then gets kSEErrorLinkCancelled)
    // and answers the page for the browser. `done` runs once, on the main loop.
    Result<std::string> beginLink(LinkCompletion done);
    bool isLinking() const { return static_cast<bool>(linkDone_); }
    // True when the running sign-in waits for the browser to come back by itself.
    bool waitsForRedirect() const { return redirect_ != nullptr; }
    // The code the user pasted, or the address of the redirect holding it.
    Status finishLinkWithCode(const std::string& pasted);
    void cancelLink();
    // Removes the tokens (the secret store's failure is handed back); the app key stays.
    Status unlink();

    DBClientsManager& clients() { return *clients_; }

    // --- SyncBackendFactory ---
    SyncService service() const override { return SyncService::dropbox; }
    bool isConfigured() const override { return isLinked(); }
    Error whyNotConfigured() const override;
    std::unique_ptr<SECloudFileSystem> makeCloudFileSystem() override;
    bool needsNetwork() const override { return true; }
    void forget() override;
    void installed(SECloudFileSystem& cloud, std::function<void()> remoteChanges) override;

private:
    void exchange(const std::string& code);
    void endLink(Status status);

    // --- SEDropboxV2CloudFileSystemDelegate ---
    void dropboxCloudFileSystemDidDetectRemoteFileChanges(SEDropboxV2CloudFileSystem&) override;

    Services services_;
    HttpTransport authTransport_;
    DBOAuthFlow flow_;
    DBOAuthTokenSource tokens_;
    std::unique_ptr<DBClientsManager> clients_;
    std::unique_ptr<DBLoopbackRedirect> redirect_;
    LinkCompletion linkDone_;
    // Tells the sign-ins apart: a reply of an abandoned one is ignored.
    std::uint64_t linkGeneration_ = 0;
    std::function<void()> remoteChanges_;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace ravelong
