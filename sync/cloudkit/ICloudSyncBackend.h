#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "foundation/MainLoop.h"
#include "foundation/UserDefaults.h"
#include "sync/SyncBackendFactory.h"
#include "sync/cloudkit/CloudKitWebServicesDatabase.h"
#include "sync/cloudkit/CloudKitWebSignIn.h"

namespace ravelong {

// iCloud (service 1) through CloudKit's web services: the user's own CloudKit container (its
// identifier, the API token of its web services and the environment are settings the user fills
// in), the user signed in through the browser, the web auth token in the secret store and nowhere
// else. The engine's files live in this program's zone of the user's private database (schema 2),
// each one zipped (SEZipCloudFileSystem), as with Dropbox.
//
// Signing in: signIn() opens the service's sign-in page in the browser; the browser comes back to
// a loopback address on 127.0.0.1 with the token, or the user pastes the token (or the address the
// browser ended at) with paste(). The new token is checked with the service while it is held
// aside; only a token the service accepts replaces the one kept before, so a refused, failed or
// cancelled sign-in leaves the earlier one as it was. Main thread only.
class ICloudSyncBackend final : public SyncBackendFactory {
public:
    // The sign-in's loopback callback, registered with the API token as
    // "http://127.0.0.1:50472/". While another program holds the port, the token is pasted.
    static constexpr int kSignInPort = 50472;

    struct Services {
        MainLoop& loop;
        UserDefaults& standardDefaults;
        // Where the web auth token is kept.
        DBSecretStore& secrets;
        // Opens the sign-in page in the user's browser; false when that failed.
        CloudKitWebSignIn::OpenURL openURL;
        // Where the service is and how requests are tried; the container, API token and
        // environment are taken from the settings.
        CloudKitWebServicesConfig connection = {};
        // Where the zip wrapping keeps its archives.
        std::filesystem::path temporaryDirectory = std::filesystem::temp_directory_path();
        // 0: any free port (the tests).
        int signInPort = kSignInPort;
    };

    explicit ICloudSyncBackend(Services services);
    ~ICloudSyncBackend() override;
    ICloudSyncBackend(const ICloudSyncBackend&) = delete;
    ICloudSyncBackend& operator=(const ICloudSyncBackend&) = delete;

    std::string containerIdentifier() const;
    std::string apiToken() const;
    // "development" (also when not set) or "production".
    std::string environment() const;
    // Trims and checks the three settings and keeps them (an empty identifier and token clear
    // them). Refused while signed in (the token belongs to the container) or signing in;
    // nothing is changed by a refusal.
    Status setContainer(const std::string& identifier, const std::string& apiToken,
                        const std::string& environment);

    bool isSignedIn() const;
    using SignInCompletion = std::function<void(Status)>;
    // Starts a sign-in (ending one that runs, whose completion then gets kSEErrorLinkCancelled).
    // `done` runs once, on the main loop; at once with an error when the settings are missing.
    void signIn(SignInCompletion done);
    bool isSigningIn() const { return static_cast<bool>(signInDone_); }
    // Whether the running sign-in waits for the browser to come back by itself.
    bool waitsForBrowser() const;
    // The address the browser comes back to ("" while no sign-in runs).
    std::string callbackAddress() const;
    // The token the user pasted, or the address holding it. Refused when no sign-in runs or the
    // text holds no token; a token the service refuses ends the sign-in with that error.
    Status paste(const std::string& text);
    void cancelSignIn();
    // Removes the web auth token (the secret store's failure is handed back); the settings stay.
    Status signOut();

    // --- SyncBackendFactory ---
    SyncService service() const override { return SyncService::iCloud; }
    bool isConfigured() const override;
    Error whyNotConfigured() const override;
    std::unique_ptr<SECloudFileSystem> makeCloudFileSystem() override;
    bool needsNetwork() const override { return true; }

private:
    class PendingToken;
    CloudKitWebServicesConfig config() const;
    bool hasContainer() const;
    void endSignIn(Status status);

    Services services_;
    HttpTransport transport_;
    // The running sign-in: the token it brought is held aside and checked through a database
    // of its own until the service accepts it.
    std::unique_ptr<PendingToken> pending_;
    std::unique_ptr<CloudKitWebServicesDatabase> pendingDatabase_;
    std::unique_ptr<CloudKitWebSignIn> signIn_;
    SignInCompletion signInDone_;
    // Sign-ins that ended, let go on the next turn of the loop.
    struct Attempt {
        std::unique_ptr<PendingToken> token;
        std::unique_ptr<CloudKitWebServicesDatabase> database;
        std::unique_ptr<CloudKitWebSignIn> signIn;  // first to go: it uses the other two
    };
    std::vector<Attempt> retired_;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace ravelong
