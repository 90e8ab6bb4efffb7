#pragma once

#include <optional>
#include <string>

#include "sync/SECloudFileSystem.h"
#include "sync/dropbox/DBOAuthTokenSource.h"

namespace ravelong::testing {

// The secret store of the tests: one secret in memory, and a keyring that can refuse.
class MemorySecretStore final : public DBSecretStore {
public:
    std::optional<std::string> secret;
    bool failSaving = false;
    bool failErasing = false;

    std::optional<std::string> load() const override { return secret; }
    Status save(const std::string& s) override {
        if (failSaving)
            return makeSEError(kSEErrorAuthorization, "the keyring is locked");
        secret = s;
        return Status();
    }
    Status erase() override {
        if (failErasing)
            return makeSEError(kSEErrorAuthorization, "the keyring is locked");
        secret.reset();
        return Status();
    }
};

}  // namespace ravelong::testing
