#include "sync/dropbox/DBOAuthTokenSource.h"

#include "sync/SECloudFileSystem.h"
#include "sync/dropbox/DBJson.h"

namespace ravelong {

DBOAuthTokenSource::DBOAuthTokenSource(DBOAuthFlow& flow, DBSecretStore& store)
    : flow_(flow), store_(store) {}

std::optional<DBOAuthTokenSource::Stored> DBOAuthTokenSource::stored() const {
    auto secret = store_.load();
    if (!secret)
        return std::nullopt;
    auto parsed = dropbox_json::parseReply(*secret, 1u << 16, 4);
    if (!parsed.ok())
        return std::nullopt;
    Stored s{dropbox_json::stringMember(parsed.value(), "access_token"),
             dropbox_json::stringMember(parsed.value(), "refresh_token")};
    if (s.accessToken.empty())
        return std::nullopt;
    return s;
}

Status DBOAuthTokenSource::keep(const Stored& tokens) {
    return store_.save(
        nlohmann::json{{"access_token", tokens.accessToken}, {"refresh_token", tokens.refreshToken}}
            .dump());
}

std::optional<std::string> DBOAuthTokenSource::accessToken() const {
    auto s = stored();
    return s ? std::optional(s->accessToken) : std::nullopt;
}

Status DBOAuthTokenSource::link(const DBOAuthTokens& tokens) {
    if (tokens.accessToken.empty())
        return makeSEError(kSEErrorAuthorization, "The sign-in gave no access token.");
    return keep(Stored{tokens.accessToken, tokens.refreshToken});
}

Status DBOAuthTokenSource::unlink() {
    return store_.erase();
}

void DBOAuthTokenSource::refreshAccessToken(std::function<void(bool)> completion) {
    auto s = stored();
    if (!s || s->refreshToken.empty()) {
        completion(false);
        return;
    }
    waiting_.push_back(std::move(completion));
    if (waiting_.size() > 1)
        return;  // a refresh is already on its way
    flow_.refresh(s->refreshToken, [this, alive = std::weak_ptr<int>(alive_),
                                    refreshToken = s->refreshToken](DBResult<DBOAuthTokens> r) {
        if (!alive.lock())
            return;
        bool ok = r.ok();
        if (ok) {
            // The server may rotate the refresh token; keep the newest.
            Stored fresh{r.value().accessToken,
                         r.value().refreshToken.empty() ? refreshToken : r.value().refreshToken};
            ok = keep(fresh).ok();
        }
        auto waiting = std::move(waiting_);
        waiting_.clear();
        for (auto& w : waiting)
            w(ok);
    });
}

}  // namespace ravelong
