#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "sync/dropbox/DBUserClient.h"
#include "sync/http/HttpTransport.h"

namespace ravelong {

struct DBOAuthTokens {
    std::string accessToken;
    std::string refreshToken;  // empty when a refresh hands back only an access token
    double expiresInSeconds = 0;
    std::string accountId;
};

// Linking an account with OAuth 2's authorisation code flow and PKCE, asking for offline access
// so that a refresh token keeps the link alive. The program has no app key of its own: the user
// creates one and gives it here.
//
// A sign-in: authorizationURL() (opened in the browser), then the code comes back to the loopback
// redirect (DBLoopbackRedirect) or is pasted by the user, and exchangeCode() turns it into tokens.
// The verifier lives only in this object. Tokens are handed to the caller and never written,
// logged or put on a command line here. Call from the main thread; completions run on the main
// loop.
class DBOAuthFlow {
public:
    DBOAuthFlow(HttpTransport& transport, std::string appKey,
                std::string authorizeURL = "https://www.dropbox.com/oauth2/authorize",
                std::string tokenURL = "https://api.dropboxapi.com/oauth2/token");

    // Starts a new sign-in: a fresh verifier and state (the constructor starts the first).
    void restart();
    // The app key of the following sign-ins and refreshes (the user may enter another one
    // before linking).
    void setAppKey(std::string appKey) { appKey_ = std::move(appKey); }
    const std::string& appKey() const { return appKey_; }
    // The page of the current sign-in. Without a redirect the page shows the code for the user
    // to paste.
    std::string authorizationURL(const std::optional<std::string>& redirectURI = std::nullopt);
    const std::string& state() const { return state_; }

    void exchangeCode(const std::string& code, DBUserClient::Callback<DBOAuthTokens> completion);
    void refresh(const std::string& refreshToken, DBUserClient::Callback<DBOAuthTokens> completion);

    // PKCE's S256 challenge of a verifier: base64url(SHA-256(verifier)) without padding.
    static std::string codeChallengeFor(std::string_view verifier);
    // 32 random bytes in base64url: a verifier of 43 characters, or a state value.
    static std::string randomToken();
    static std::string formEncode(std::string_view text);

private:
    void post(std::string form, DBUserClient::Callback<DBOAuthTokens> completion);

    HttpTransport& transport_;
    std::string appKey_;
    std::string authorizeURL_;
    std::string tokenURL_;
    std::string verifier_;
    std::string state_;
    std::optional<std::string> redirectURI_;
};

}  // namespace ravelong
