#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/Error.h"
#include "sync/dropbox/DBOAuthFlow.h"
#include "sync/dropbox/DBUserClient.h"

namespace ravelong {

// Where the linked account's tokens are kept between runs: the desktop's secret service in the
// program, memory in tests. Never a plain file.
class DBSecretStore {
public:
    virtual ~DBSecretStore() = default;
    virtual std::optional<std::string> load() const = 0;
    virtual Status save(const std::string& secret) = 0;
    virtual Status erase() = 0;
};

// The token source of a linked account: the access and refresh tokens of the sign-in, kept in
// the secret store, and a fresh access token fetched with the refresh token when the server
// calls the old one expired. Refreshes that overlap share one request.
class DBOAuthTokenSource final : public DBAccessTokenSource {
public:
    DBOAuthTokenSource(DBOAuthFlow& flow, DBSecretStore& store);

    std::optional<std::string> accessToken() const override;
    void refreshAccessToken(std::function<void(bool refreshed)> completion) override;

    // Keeps the tokens of a finished sign-in; fails when the secret store does.
    Status link(const DBOAuthTokens& tokens);
    Status unlink();

private:
    struct Stored {
        std::string accessToken;
        std::string refreshToken;
    };
    std::optional<Stored> stored() const;
    Status keep(const Stored& tokens);

    DBOAuthFlow& flow_;
    DBSecretStore& store_;
    std::vector<std::function<void(bool)>> waiting_;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace ravelong
