#include "sync/dropbox/DropboxSyncBackend.h"

#include <algorithm>
#include <cctype>

#include "foundation/Log.h"
#include "sync/SEZipCloudFileSystem.h"
#include "sync/SyncTexts.h"

namespace ravelong {

namespace t = sync_texts;

namespace {

std::string trimmed(const std::string& text) {
    auto begin =
        std::find_if_not(text.begin(), text.end(), [](unsigned char c) { return std::isspace(c); });
    auto end = std::find_if_not(text.rbegin(), text.rend(), [](unsigned char c) {
                   return std::isspace(c);
               }).base();
    return begin < end ? std::string(begin, end) : std::string();
}

}  // namespace

DropboxSyncBackend::DropboxSyncBackend(Services services)
    : services_(std::move(services)),
      authTransport_(services_.loop),
      flow_(authTransport_, appKey(), services_.authorizeURL, services_.tokenURL),
      tokens_(flow_, services_.secrets),
      clients_(
          std::make_unique<DBClientsManager>(services_.loop, tokens_, services_.clientOptions)) {}

DropboxSyncBackend::~DropboxSyncBackend() {
    alive_.reset();
    redirect_.reset();
}

std::string DropboxSyncBackend::appKey() const {
    return services_.standardDefaults.stringForKey(t::kRavelongDropboxAppKey);
}

Status DropboxSyncBackend::setAppKey(const std::string& entered) {
    const std::string key = trimmed(entered);
    if (key == appKey())
        return Status();
    if (isLinked() || isLinking())
        return makeSEError(kSEErrorAuthorization, std::string(t::kDropboxKeyWhileLinked));
    if (key.size() > 64 ||
        !std::all_of(key.begin(), key.end(), [](unsigned char c) { return std::isalnum(c) != 0; }))
        return makeSEError(kSEErrorInvalidPath, std::string(t::kDropboxBadAppKey));
    if (key.empty())
        services_.standardDefaults.remove(t::kRavelongDropboxAppKey);
    else
        services_.standardDefaults.setString(t::kRavelongDropboxAppKey, key);
    flow_.setAppKey(key);
    return Status();
}

bool DropboxSyncBackend::isLinked() const {
    auto token = tokens_.accessToken();
    return token && !token->empty();
}

Result<std::string> DropboxSyncBackend::beginLink(LinkCompletion done) {
    const std::string key = appKey();
    if (key.empty())
        return makeSEError(kSEErrorAuthorization, std::string(t::kDropboxNoAppKey));
    cancelLink();
    ++linkGeneration_;
    flow_.setAppKey(key);
    flow_.restart();
    linkDone_ = std::move(done);
    std::optional<std::string> redirectURI;
    if (services_.useLoopbackRedirect) {
        redirect_ = std::make_unique<DBLoopbackRedirect>(services_.loop, flow_.state(),
                                                         services_.redirectPort);
        Status opened =
            redirect_->open([this, generation = linkGeneration_,
                             alive = std::weak_ptr<int>(alive_)](Result<std::string> code) {
                if (!alive.lock() || generation != linkGeneration_)
                    return;
                // The redirect is let go from the loop, not from inside its own call.
                services_.loop.runOnMainThread(
                    [this, alive, generation, code = std::move(code)]() mutable {
                        if (!alive.lock() || generation != linkGeneration_)
                            return;
                        redirect_.reset();
                        if (!code.ok())
                            return endLink(code.error());
                        exchange(code.value());
                    });
            });
        // Dropbox sends the browser only to the address registered with the app: on another
        // port the page would end in an error instead of showing a code to paste.
        if (opened.ok() && services_.redirectPort != 0 &&
            redirect_->redirectURI() !=
                "http://127.0.0.1:" + std::to_string(services_.redirectPort) + "/")
            opened = makeSEError(kSEErrorNoConnection,
                                 "port " + std::to_string(services_.redirectPort) + " is taken");
        if (opened.ok()) {
            redirectURI = redirect_->redirectURI();
        } else {
            logInfo("dropbox", "no loopback redirect (" + opened.error().description +
                                   "): the code is pasted instead");
            redirect_.reset();
        }
    }
    return flow_.authorizationURL(redirectURI);
}

Status DropboxSyncBackend::finishLinkWithCode(const std::string& pasted) {
    if (!isLinking())
        return makeSEError(kSEErrorAuthorization, std::string(t::kDropboxNotLinking));
    std::string code = trimmed(pasted);
    // The whole address of the redirect, copied from a browser that could not reach it.
    if (code.find('?') != std::string::npos) {
        auto state = LoopbackListener::queryValue(code, "state");
        if (state && *state != flow_.state())
            return makeSEError(kSEErrorAuthorization, std::string(t::kDropboxForeignCode));
        code = LoopbackListener::queryValue(code, "code").value_or("");
    }
    if (code.empty() || code.size() > 1024)
        return makeSEError(kSEErrorAuthorization, std::string(t::kDropboxNoCode));
    // The browser will not come back any more: the code is here.
    redirect_.reset();
    exchange(code);
    return Status();
}

void DropboxSyncBackend::exchange(const std::string& code) {
    flow_.exchangeCode(code, [this, generation = linkGeneration_,
                              alive = std::weak_ptr<int>(alive_)](DBResult<DBOAuthTokens> r) {
        if (!alive.lock() || generation != linkGeneration_ || !isLinking())
            return;
        if (!r.ok())
            return endLink(r.error().toSEError());
        // The account of an earlier link is replaced only now, by a sign-in that worked.
        endLink(tokens_.link(r.value()));
    });
}

void DropboxSyncBackend::endLink(Status status) {
    redirect_.reset();
    auto done = std::move(linkDone_);
    linkDone_ = nullptr;
    if (done)
        services_.loop.runOnMainThread([done = std::move(done), status] { done(status); });
}

void DropboxSyncBackend::cancelLink() {
    if (!isLinking())
        return;
    ++linkGeneration_;
    endLink(makeSEError(kSEErrorLinkCancelled, std::string(t::kDropboxLinkCancelled)));
}

Status DropboxSyncBackend::unlink() {
    cancelLink();
    clients_->cancelAll();
    return tokens_.unlink();
}

Error DropboxSyncBackend::whyNotConfigured() const {
    if (appKey().empty())
        return makeSEError(kSEErrorAuthorization, std::string(t::kDropboxNoAppKey));
    return makeSEError(kSEErrorAuthorization, std::string(t::kDropboxNotLinked));
}

std::unique_ptr<SECloudFileSystem> DropboxSyncBackend::makeCloudFileSystem() {
    if (!isLinked())
        return nullptr;
    auto dropbox = std::make_unique<SEDropboxV2CloudFileSystem>(services_.loop, *clients_);
    dropbox->setRelativePathToRootInDropbox(kRootFolder);
    dropbox->partitionDataFilesBetweenSubdirectories = true;
    dropbox->delegate = this;
    return std::make_unique<SEZipCloudFileSystem>(std::move(dropbox), services_.temporaryDirectory);
}

void DropboxSyncBackend::forget() {
    remoteChanges_ = nullptr;
}

void DropboxSyncBackend::installed(SECloudFileSystem& cloud, std::function<void()> remoteChanges) {
    remoteChanges_ = std::move(remoteChanges);
    auto* zip = dynamic_cast<SEZipCloudFileSystem*>(&cloud);
    auto* dropbox =
        dynamic_cast<SEDropboxV2CloudFileSystem*>(zip ? zip->cloudFileSystem() : &cloud);
    if (!dropbox)
        return;
    dropbox->subscribeForRemoteFileChangeNotificationsWithCompletion([](Status status) {
        if (!status.ok())
            logInfo("dropbox", "not watching for changes: " + status.error().description);
    });
}

void DropboxSyncBackend::dropboxCloudFileSystemDidDetectRemoteFileChanges(
    SEDropboxV2CloudFileSystem&) {
    if (remoteChanges_)
        remoteChanges_();
}

}  // namespace ravelong
