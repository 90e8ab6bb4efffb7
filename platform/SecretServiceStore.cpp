#include "platform/SecretServiceStore.h"

#include <libsecret/secret.h>

#include "foundation/Log.h"
#include "sync/SECloudFileSystem.h"

namespace ravelong {

namespace {

const SecretSchema* schema() {
    // The schema name is checked on lookup too (the flag is not set to ignore it), so an item
    // another program stored under the same attribute is never taken for ours.
    static const SecretSchema s = {
        SecretServiceStore::kSchemaName,
        SECRET_SCHEMA_NONE,
        {{SecretServiceStore::kServiceAttribute, SECRET_SCHEMA_ATTRIBUTE_STRING},
         {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
        0,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr};
    return &s;
}

Error keyringError(const std::string& what, GError* error) {
    std::string reason = error && error->message ? error->message : "no reason given";
    if (error)
        g_error_free(error);
    return makeSEError(kSEErrorAuthorization,
                       what + " The desktop's keyring (Secret Service) answered: " + reason);
}

}  // namespace

std::string SecretServiceStore::dropboxServiceName() {
    return std::string(kSchemaName) + ".dropbox.authv2";
}

std::string SecretServiceStore::iCloudServiceName() {
    return std::string(kSchemaName) + ".icloud.webauth";
}

SecretServiceStore::SecretServiceStore(std::string serviceName, std::string label)
    : service_(std::move(serviceName)), label_(std::move(label)) {}

Result<std::optional<std::string>> SecretServiceStore::read() const {
    if (cached_)
        return *cached_;
    GError* error = nullptr;
    gchar* secret = secret_password_lookup_nonpageable_sync(
        schema(), nullptr, &error, kServiceAttribute, service_.c_str(), nullptr);
    if (error)
        return keyringError("The keyring could not be read.", error);
    std::optional<std::string> value;
    if (secret) {
        value = std::string(secret);
        secret_password_free(secret);
    }
    cached_ = value;
    return value;
}

std::optional<std::string> SecretServiceStore::load() const {
    auto value = read();
    if (!value.ok()) {
        logError("SecretServiceStore", value.error().description);
        return std::nullopt;
    }
    return value.value();
}

Status SecretServiceStore::save(const std::string& secret) {
    GError* error = nullptr;
    const gboolean stored = secret_password_store_sync(
        schema(), SECRET_COLLECTION_DEFAULT, label_.c_str(), secret.c_str(), nullptr, &error,
        kServiceAttribute, service_.c_str(), nullptr);
    if (error || !stored) {
        // What is kept there now is not known any more.
        cached_.reset();
        return keyringError("The sign-in could not be kept in the keyring.", error);
    }
    cached_ = secret;
    return Status();
}

Status SecretServiceStore::erase() {
    GError* error = nullptr;
    secret_password_clear_sync(schema(), nullptr, &error, kServiceAttribute, service_.c_str(),
                               nullptr);
    cached_.reset();
    if (error)
        return keyringError("The sign-in could not be removed from the keyring.", error);
    cached_ = std::optional<std::string>();
    return Status();
}

}  // namespace ravelong
