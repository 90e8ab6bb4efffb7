#include "sync/cloudkit/ICloudSyncBackend.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "sync/SEZipCloudFileSystem.h"
#include "sync/SyncTexts.h"
#include "sync/cloudkit/SECloudKitFileSystem.h"

namespace ravelong {

namespace t = sync_texts;

namespace {

constexpr int kSchemaVersion = 2;

std::string withoutSurroundingSpace(const std::string& text) {
    auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// Both settings end up in the service's addresses: only characters that need no escaping.
bool isContainerIdentifier(const std::string& id) {
    const std::string prefix = "iCloud.";
    return id.size() > prefix.size() && id.size() <= 255 &&
           id.compare(0, prefix.size(), prefix) == 0 &&
           std::all_of(id.begin(), id.end(), [](unsigned char c) {
               return std::isalnum(c) != 0 || c == '.' || c == '-' || c == '_';
           });
}

bool isAPIToken(const std::string& token) {
    return !token.empty() && token.size() <= 256 &&
           std::all_of(token.begin(), token.end(), [](unsigned char c) {
               return std::isalnum(c) != 0 || c == '-' || c == '_';
           });
}

}  // namespace

// The token a sign-in brought, in memory until the service has accepted it.
class ICloudSyncBackend::PendingToken final : public DBSecretStore {
public:
    std::optional<std::string> token;
    std::optional<std::string> load() const override { return token; }
    Status save(const std::string& value) override {
        token = value;
        return Status();
    }
    Status erase() override {
        token.reset();
        return Status();
    }
};

ICloudSyncBackend::ICloudSyncBackend(Services services)
    : services_(std::move(services)), transport_(services_.loop) {}

ICloudSyncBackend::~ICloudSyncBackend() {
    alive_.reset();
    signIn_.reset();
    pendingDatabase_.reset();
    retired_.clear();
}

std::string ICloudSyncBackend::containerIdentifier() const {
    return services_.standardDefaults.stringForKey(t::kRavelongICloudContainer);
}

std::string ICloudSyncBackend::apiToken() const {
    return services_.standardDefaults.stringForKey(t::kRavelongICloudAPIToken);
}

std::string ICloudSyncBackend::environment() const {
    return services_.standardDefaults.stringForKey(t::kRavelongICloudEnvironment) == "production"
               ? "production"
               : "development";
}

Status ICloudSyncBackend::setContainer(const std::string& enteredIdentifier,
                                       const std::string& enteredToken,
                                       const std::string& enteredEnvironment) {
    const std::string id = withoutSurroundingSpace(enteredIdentifier);
    const std::string token = withoutSurroundingSpace(enteredToken);
    std::string env = withoutSurroundingSpace(enteredEnvironment);
    if (env.empty())
        env = "development";
    if (id == containerIdentifier() && token == apiToken() && env == environment())
        return Status();
    if (isSignedIn() || isSigningIn())
        return makeSEError(kSEErrorAuthorization, std::string(t::kICloudSettingsWhileSignedIn));
    if (!id.empty() && !isContainerIdentifier(id))
        return makeSEError(kSEErrorInvalidPath, std::string(t::kICloudBadContainer));
    if (!token.empty() && !isAPIToken(token))
        return makeSEError(kSEErrorInvalidPath, std::string(t::kICloudBadAPIToken));
    if (env != "development" && env != "production")
        return makeSEError(kSEErrorInvalidPath, std::string(t::kICloudBadEnvironment));
    auto& defaults = services_.standardDefaults;
    for (auto [key, value] : {std::pair{t::kRavelongICloudContainer, id},
                              std::pair{t::kRavelongICloudAPIToken, token}}) {
        if (value.empty())
            defaults.remove(key);
        else
            defaults.setString(key, value);
    }
    defaults.setString(t::kRavelongICloudEnvironment, env);
    return Status();
}

bool ICloudSyncBackend::hasContainer() const {
    return !containerIdentifier().empty() && !apiToken().empty();
}

bool ICloudSyncBackend::isSignedIn() const {
    auto token = services_.secrets.load();
    return token && !token->empty();
}

CloudKitWebServicesConfig ICloudSyncBackend::config() const {
    CloudKitWebServicesConfig config = services_.connection;
    config.containerIdentifier = containerIdentifier();
    config.apiToken = apiToken();
    config.environment = environment();
    config.scope = CloudKitDatabase::Scope::privateScope;
    return config;
}

void ICloudSyncBackend::signIn(SignInCompletion done) {
    cancelSignIn();
    if (!hasContainer()) {
        services_.loop.runOnMainThread([done = std::move(done)] {
            done(makeSEError(kSEErrorAuthorization, std::string(t::kICloudNoContainer)));
        });
        return;
    }
    signInDone_ = std::move(done);
    pending_ = std::make_unique<PendingToken>();
    pendingDatabase_ =
        std::make_unique<CloudKitWebServicesDatabase>(transport_, *pending_, config());
    signIn_ = std::make_unique<CloudKitWebSignIn>(services_.loop, *pendingDatabase_, *pending_,
                                                  services_.openURL, services_.signInPort);
    signIn_->start([this, sign = signIn_.get(), alive = std::weak_ptr<int>(alive_)](Status status) {
        if (!alive.lock() || sign != signIn_.get())
            return;
        // The earlier token is replaced only now, by one the service accepted.
        if (status.ok())
            status = services_.secrets.save(pending_->token.value_or(""));
        endSignIn(std::move(status));
    });
}

std::string ICloudSyncBackend::callbackAddress() const {
    return signIn_ ? signIn_->redirectURI() : std::string();
}

bool ICloudSyncBackend::waitsForBrowser() const {
    return signIn_ && signIn_->listening();
}

Status ICloudSyncBackend::paste(const std::string& text) {
    if (!isSigningIn())
        return makeSEError(kSEErrorAuthorization, std::string(t::kICloudNotSigningIn));
    if (!CloudKitWebSignIn::tokenFromText(text))
        return makeSEError(kSEErrorAuthorization,
                           "The pasted text holds no iCloud web sign-in token.");
    signIn_->paste(text);
    return Status();
}

void ICloudSyncBackend::endSignIn(Status status) {
    auto done = std::move(signInDone_);
    signInDone_ = nullptr;
    // The sign-in may be the caller: it is let go from the loop.
    retired_.push_back(
        Attempt{std::move(pending_), std::move(pendingDatabase_), std::move(signIn_)});
    services_.loop.runOnMainThread([this, alive = std::weak_ptr<int>(alive_)] {
        if (alive.lock())
            retired_.clear();
    });
    if (done)
        services_.loop.runOnMainThread([done = std::move(done), status] { done(status); });
}

void ICloudSyncBackend::cancelSignIn() {
    if (!isSigningIn())
        return;
    endSignIn(makeSEError(kSEErrorLinkCancelled, std::string(t::kICloudSignInCancelled)));
}

Status ICloudSyncBackend::signOut() {
    cancelSignIn();
    return services_.secrets.erase();
}

bool ICloudSyncBackend::isConfigured() const {
    return hasContainer() && isSignedIn();
}

Error ICloudSyncBackend::whyNotConfigured() const {
    if (!hasContainer())
        return makeSEError(kSEErrorAuthorization, std::string(t::kICloudNoContainer));
    return makeSEError(kSEErrorAuthorization, std::string(t::kICloudNotSignedIn));
}

std::unique_ptr<SECloudFileSystem> ICloudSyncBackend::makeCloudFileSystem() {
    if (!isConfigured())
        return nullptr;
    CloudKitContainer container =
        [this,
         config = config()](CloudKitDatabase::Scope scope) -> std::shared_ptr<CloudKitDatabase> {
        // This program keeps its zone in the private database only; without a token there is
        // no account to reach (signed out meanwhile).
        if (scope != CloudKitDatabase::Scope::privateScope || !isSignedIn())
            return nullptr;
        return std::make_shared<CloudKitWebServicesDatabase>(transport_, services_.secrets, config);
    };
    auto cloudKit = SECloudKitFileSystem::withPrivateDatabase(
        services_.loop, std::move(container), containerIdentifier(), kSchemaVersion);
    return std::make_unique<SEZipCloudFileSystem>(std::move(cloudKit),
                                                  services_.temporaryDirectory);
}

}  // namespace ravelong
