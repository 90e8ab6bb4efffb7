#pragma once

#include <optional>
#include <string>

#include "foundation/Error.h"
#include "sync/dropbox/DBOAuthTokenSource.h"

namespace ravelong {

// One secret of the program kept in the desktop's Secret Service (the login keyring) through
// libsecret: an item of the schema "io.github.ravelong.Ravelong" whose attribute "service" holds
// the service name, in the default collection. The secret never touches a file of ours, a log
// line or a command line.
//
// The calls block while the Secret Service answers (and while it asks the user to unlock a
// locked keyring). The value read or written last is kept in memory, so that a client asking
// for its token before every request does not cross the bus each time. When there is no Secret
// Service, or it refuses, save() and erase() fail with a text that says so and load() answers
// "nothing stored" (the reason is logged). Main thread only.
class SecretServiceStore final : public DBSecretStore {
public:
    static constexpr const char* kSchemaName = "io.github.ravelong.Ravelong";
    static constexpr const char* kServiceAttribute = "service";

    // The service name of the Dropbox sign-in: the program's identifier + ".dropbox.authv2".
    static std::string dropboxServiceName();
    // The service name of the iCloud web sign-in: the program's identifier + ".icloud.webauth".
    static std::string iCloudServiceName();

    SecretServiceStore(std::string serviceName, std::string label);

    const std::string& serviceName() const { return service_; }

    // The stored secret (nullopt: none), or why the Secret Service could not be asked.
    Result<std::optional<std::string>> read() const;

    std::optional<std::string> load() const override;
    Status save(const std::string& secret) override;
    // Removes the item; nothing stored is no failure.
    Status erase() override;

private:
    std::string service_;
    std::string label_;
    mutable std::optional<std::optional<std::string>> cached_;
};

}  // namespace ravelong
