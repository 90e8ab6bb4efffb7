#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "foundation/Error.h"
#include "foundation/MainLoop.h"
#include "sync/cloudkit/CloudKitWebServicesDatabase.h"
#include "sync/http/LoopbackListener.h"

namespace ravelong {

// Signing in to iCloud for CloudKit's web services, in the browser. The service answers a call
// made without a valid web auth token with AUTHENTICATION_REQUIRED and the address of its sign-in
// page; the page is opened with the openURL callback, and once the user has signed in the browser
// is sent to the API token's sign-in callback with the token as the ckWebAuthToken parameter.
// That callback is this object's loopback address (http://127.0.0.1:PORT/, the port fixed in the
// settings because the callback is registered with the API token). Where the port cannot be
// opened, or the browser ends elsewhere, the user pastes the token or the address it ended at.
//
// The token goes into the secret store and nowhere else; it is checked with users/caller before
// the sign-in counts as done. Destroying the object stops listening; the completion then never
// runs.
class CloudKitWebSignIn {
public:
    // Opens an address in the user's browser; false when that failed.
    using OpenURL = std::function<bool(const std::string& url)>;
    using Completion = std::function<void(Status)>;

    CloudKitWebSignIn(MainLoop& loop, CloudKitWebServicesDatabase& database, DBSecretStore& store,
                      OpenURL openURL, int loopbackPort);
    ~CloudKitWebSignIn();
    CloudKitWebSignIn(const CloudKitWebSignIn&) = delete;
    CloudKitWebSignIn& operator=(const CloudKitWebSignIn&) = delete;

    // Completes with success at once when the stored token is still good; otherwise opens the
    // sign-in page and completes once a token has arrived and been checked, or with the error
    // that ended the sign-in.
    void start(Completion completion);
    // Text the user pasted: the token itself or the whole address the browser ended at.
    void paste(const std::string& text);
    // Whether the loopback address is listening (else only pasting can finish the sign-in).
    bool listening() const { return listener_ && listener_->listening(); }
    std::string redirectURI() const;

    // The token in pasted text or a request target; nullopt when there is none.
    static std::optional<std::string> tokenFromText(const std::string& text);

private:
    Status listen();
    void received(const std::string& token);
    void finish(Status status);

    MainLoop& loop_;
    CloudKitWebServicesDatabase& database_;
    DBSecretStore& store_;
    OpenURL openURL_;
    int port_;
    Completion completion_;
    bool waiting_ = false;  // the sign-in page is open, a token is awaited
    std::unique_ptr<LoopbackListener> listener_;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace ravelong
