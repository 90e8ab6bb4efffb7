#include "sync/dropbox/DBOAuthFlow.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <cctype>
#include <cstdlib>
#include <span>
#include <vector>

#include "foundation/Base64.h"
#include "sync/dropbox/DBJson.h"

namespace ravelong {

namespace {

std::string base64url(const unsigned char* bytes, std::size_t length) {
    std::string text = base64::encode(std::span<const std::uint8_t>(bytes, length));
    for (char& c : text) {
        if (c == '+')
            c = '-';
        else if (c == '/')
            c = '_';
    }
    while (!text.empty() && text.back() == '=')
        text.pop_back();
    return text;
}

}  // namespace

DBOAuthFlow::DBOAuthFlow(HttpTransport& transport, std::string appKey, std::string authorizeURL,
                         std::string tokenURL)
    : transport_(transport),
      appKey_(std::move(appKey)),
      authorizeURL_(std::move(authorizeURL)),
      tokenURL_(std::move(tokenURL)) {
    restart();
}

void DBOAuthFlow::restart() {
    verifier_ = randomToken();
    state_ = randomToken();
}

std::string DBOAuthFlow::codeChallengeFor(std::string_view verifier) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(verifier.data(), verifier.size(), digest, &length, EVP_sha256(), nullptr);
    return base64url(digest, length);
}

std::string DBOAuthFlow::randomToken() {
    unsigned char bytes[32];
    if (RAND_bytes(bytes, sizeof bytes) != 1)
        std::abort();  // no randomness means no safe sign-in at all
    return base64url(bytes, sizeof bytes);
}

std::string DBOAuthFlow::formEncode(std::string_view text) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back('%');
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 15]);
        }
    }
    return out;
}

std::string DBOAuthFlow::authorizationURL(const std::optional<std::string>& redirectURI) {
    redirectURI_ = redirectURI;
    std::string url = authorizeURL_ + "?client_id=" + formEncode(appKey_) +
                      "&response_type=code&token_access_type=offline" +
                      "&code_challenge=" + codeChallengeFor(verifier_) +
                      "&code_challenge_method=S256&state=" + state_;
    if (redirectURI)
        url += "&redirect_uri=" + formEncode(*redirectURI);
    return url;
}

void DBOAuthFlow::exchangeCode(const std::string& code,
                               DBUserClient::Callback<DBOAuthTokens> completion) {
    std::string form = "grant_type=authorization_code&code=" + formEncode(code) +
                       "&client_id=" + formEncode(appKey_) +
                       "&code_verifier=" + formEncode(verifier_);
    if (redirectURI_)
        form += "&redirect_uri=" + formEncode(*redirectURI_);
    post(std::move(form), std::move(completion));
}

void DBOAuthFlow::refresh(const std::string& refreshToken,
                          DBUserClient::Callback<DBOAuthTokens> completion) {
    post("grant_type=refresh_token&refresh_token=" + formEncode(refreshToken) +
             "&client_id=" + formEncode(appKey_),
         std::move(completion));
}

void DBOAuthFlow::post(std::string form, DBUserClient::Callback<DBOAuthTokens> completion) {
    HttpRequest request;
    request.url = tokenURL_;
    request.body = std::move(form);
    request.headers.push_back("Content-Type: application/x-www-form-urlencoded");
    request.timeoutSeconds = 60;
    request.maxResponseBytes = 1u << 20;
    transport_.send(std::move(request), [completion = std::move(completion)](HttpResponse r) {
        if (!r.received() || r.status != 200) {
            DBError e = DBError::fromResponse(r);
            // The token endpoint answers a bad or used code with 400 invalid_grant: that is
            // an authorisation failure, not a malformed request of ours.
            if (r.received() && r.status == 400)
                e.kind = DBError::Kind::authorization;
            return completion(e);
        }
        auto parsed = dropbox_json::parseReply(r.body, 1u << 20);
        if (!parsed.ok())
            return completion(DBError::malformed(parsed.error().description));
        DBOAuthTokens tokens;
        tokens.accessToken = dropbox_json::stringMember(parsed.value(), "access_token");
        tokens.refreshToken = dropbox_json::stringMember(parsed.value(), "refresh_token");
        tokens.accountId = dropbox_json::stringMember(parsed.value(), "account_id");
        auto expires = parsed.value().find("expires_in");
        if (expires != parsed.value().end() && expires->is_number())
            tokens.expiresInSeconds = expires->get<double>();
        if (tokens.accessToken.empty())
            return completion(DBError::malformed("The token reply holds no access token."));
        completion(std::move(tokens));
    });
}

}  // namespace ravelong
