#include "sync/cloudkit/CloudKitWebSignIn.h"

#include "sync/SECloudFileSystem.h"
#include "sync/http/LoopbackListener.h"

namespace ravelong {

namespace {

std::string trimmed(const std::string& text) {
    auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

Error errorOf(const CKError& e) {
    return Error{kCKErrorDomain, e.code, e.description, {}};
}

}  // namespace

CloudKitWebSignIn::CloudKitWebSignIn(MainLoop& loop, CloudKitWebServicesDatabase& database,
                                     DBSecretStore& store, OpenURL openURL, int loopbackPort)
    : loop_(loop),
      database_(database),
      store_(store),
      openURL_(std::move(openURL)),
      port_(loopbackPort) {}

CloudKitWebSignIn::~CloudKitWebSignIn() {
    alive_.reset();
}

std::string CloudKitWebSignIn::redirectURI() const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/";
}

std::optional<std::string> CloudKitWebSignIn::tokenFromText(const std::string& text) {
    std::string t = trimmed(text);
    if (t.empty())
        return std::nullopt;
    if (t.find("ckWebAuthToken=") != std::string::npos) {
        std::string target = t.find('?') == std::string::npos ? "?" + t : t;
        // A fragment (#…) is not part of the query.
        if (auto hash = target.find('#'); hash != std::string::npos)
            target = target.substr(0, hash);
        auto token = LoopbackListener::queryValue(target, "ckWebAuthToken");
        if (!token || token->empty())
            return std::nullopt;
        return token;
    }
    // A bare token: one word of printable characters.
    for (unsigned char c : t)
        if (c <= ' ' || c >= 0x7f)
            return std::nullopt;
    if (t.find("://") != std::string::npos)
        return std::nullopt;
    return t;
}

void CloudKitWebSignIn::start(Completion completion) {
    completion_ = std::move(completion);
    database_.fetchUserRecordID(
        [this, alive = std::weak_ptr<int>(alive_)](std::optional<CKRecordID>, CKError e) {
            if (!alive.lock())
                return;
            if (e.ok())
                return finish(Status());
            if (e.code != CKErrorCode::notAuthenticated || database_.signInURL().empty())
                return finish(errorOf(e));
            waiting_ = true;
            // Where the port cannot be opened or the browser does not start, the user can still
            // open the page and paste the token.
            if (!listening())
                (void)listen();
            (void)openURL_(database_.signInURL());
        });
}

void CloudKitWebSignIn::paste(const std::string& text) {
    auto token = tokenFromText(text);
    if (!token)
        return finish(makeSEError(kSEErrorAuthorization,
                                  "The pasted text holds no iCloud web sign-in token."));
    received(*token);
}

void CloudKitWebSignIn::received(const std::string& token) {
    if (!waiting_)
        return;
    waiting_ = false;
    if (Status saved = store_.save(token); !saved.ok())
        return finish(saved);
    database_.fetchUserRecordID(
        [this, alive = std::weak_ptr<int>(alive_)](std::optional<CKRecordID>, CKError e) {
            if (!alive.lock())
                return;
            if (!e.ok())
                (void)store_.erase();  // a token the service refuses is of no use later
            finish(e.ok() ? Status() : Status(errorOf(e)));
        });
}

void CloudKitWebSignIn::finish(Status status) {
    waiting_ = false;
    if (auto completion = std::move(completion_)) {
        completion_ = nullptr;
        completion(std::move(status));
    }
}

Status CloudKitWebSignIn::listen() {
    listener_ = std::make_unique<LoopbackListener>(loop_);
    auto inspect = [](const std::string& target) -> std::optional<LoopbackListener::Accepted> {
        auto token = LoopbackListener::queryValue(target, "ckWebAuthToken");
        // Not the sign-in's return (a favicon, a stray request): keep waiting.
        if (!token || token->empty())
            return std::nullopt;
        return LoopbackListener::Accepted{
            "Ravelong has your iCloud sign-in. You can close this window.", *token};
    };
    Status opened = listener_->open(port_, false, "This is not an iCloud sign-in reply.",
                                    std::move(inspect), [this](Result<std::string> token) {
                                        if (token.ok())
                                            received(token.value());
                                    });
    if (opened.ok())
        port_ = listener_->port();
    return opened;
}

}  // namespace ravelong
