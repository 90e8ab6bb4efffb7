#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "sync/cloudkit/CloudKitDatabase.h"
#include "sync/dropbox/DBOAuthTokenSource.h"
#include "sync/http/HttpTransport.h"

namespace ravelong {

struct CloudKitWebServicesConfig {
    std::string baseURL = "https://api.apple-cloudkit.com";
    std::string containerIdentifier;          // "iCloud.…"
    std::string environment = "development";  // or "production"
    // The container's API token, made in the service's dashboard.
    std::string apiToken;
    CloudKitDatabase::Scope scope = CloudKitDatabase::Scope::privateScope;

    // Records a records/modify request carries at most; larger calls are split and the parts
    // sent together.
    std::size_t maxRecordsPerRequest = 200;
    // Throttled, unavailable and dropped requests are tried again, up to maxAttempts tries in
    // all: after the server's retryAfter (at most maxRetryAfterSeconds) or else after
    // firstRetrySeconds, doubling up to maxRetrySeconds.
    int maxAttempts = 5;
    double firstRetrySeconds = 1;
    double maxRetrySeconds = 60;
    double maxRetryAfterSeconds = 300;
    double connectTimeoutSeconds = 15;
    double requestTimeoutSeconds = 300;
    long stallSeconds = 60;
    // A JSON reply longer than this is refused.
    std::size_t maxReplyBytes = 32u << 20;
    // Where fetched assets are written; empty for a private folder under the temporary folder,
    // removed with the database.
    std::filesystem::path assetFolder;
};

// A CloudKit database reached through CloudKit's web services over HTTPS: every request carries
// the container's API token and the user's web auth token (ckAPIToken / ckWebAuthToken). The web
// auth token comes from the secret store and, when the service hands out a renewed one with a
// reply, goes back into it; it never reaches a file, a log line or an error text.
//
// A call the service answers with AUTHENTICATION_REQUIRED fails with notAuthenticated, and
// signInURL() then holds the page where the user signs in (see CloudKitWebSignIn).
class CloudKitWebServicesDatabase final : public CloudKitDatabase {
public:
    // Connections to one host the transport should allow: the files of a batch of 30 records
    // are uploaded together, one request each, before the batch's records are saved.
    static constexpr long kConnectionsPerHost = 16;

    CloudKitWebServicesDatabase(HttpTransport& transport, DBSecretStore& webAuthTokenStore,
                                CloudKitWebServicesConfig config);
    ~CloudKitWebServicesDatabase() override;
    CloudKitWebServicesDatabase(const CloudKitWebServicesDatabase&) = delete;
    CloudKitWebServicesDatabase& operator=(const CloudKitWebServicesDatabase&) = delete;

    Scope scope() const override { return config_.scope; }
    const CloudKitWebServicesConfig& config() const { return config_; }
    // The sign-in page the service named in its last AUTHENTICATION_REQUIRED reply, "" if none.
    const std::string& signInURL() const { return signInURL_; }

    void fetchRecordZone(const CKRecordZoneID& zoneID, ZoneCompletion completion) override;
    void saveRecordZone(const CKRecordZoneID& zoneID, Completion completion) override;
    void deleteRecordZone(const CKRecordZoneID& zoneID, Completion completion) override;
    void fetchRecords(const std::vector<CKRecordID>& recordIDs,
                      const std::optional<std::vector<std::string>>& desiredKeys,
                      RecordsCompletion completion) override;
    void modifyRecords(const std::vector<CKRecord>& recordsToSave,
                       const std::vector<CKRecordID>& recordIDsToDelete,
                       ModifyCompletion completion) override;
    void performQuery(const CKQuery& query, const CKRecordZoneID& zoneID,
                      const std::optional<std::vector<std::string>>& desiredKeys,
                      std::size_t resultsLimit, QueryCompletion completion) override;
    void performQuery(const CKQueryCursor& cursor,
                      const std::optional<std::vector<std::string>>& desiredKeys,
                      QueryCompletion completion) override;
    void fetchRecordZoneChanges(const CKRecordZoneID& zoneID,
                                const std::optional<CKServerChangeToken>& since,
                                const std::optional<std::vector<std::string>>& desiredKeys,
                                ChangesCompletion completion) override;
    void fetchUserRecordID(UserCompletion completion) override;
    void saveSubscription(const CKQuerySubscription& subscription, Completion completion) override;
    void acceptShare(const CKShareMetadata& metadata, Completion completion) override;

private:
    using JsonCompletion = std::function<void(nlohmann::json, CKError)>;
    struct Call;
    struct Modify;

    MainLoop& loop() const { return transport_.mainLoop(); }
    std::string databaseURL(const std::string& operation, bool publicScope = false) const;
    // Sends a JSON request (GET when body is null) with retries; completes with the reply.
    void request(const std::string& operation, nlohmann::json body, JsonCompletion completion,
                 bool publicScope = false);
    void perform(std::shared_ptr<Call> call);
    void finished(std::shared_ptr<Call> call, HttpResponse response);
    void complete(std::shared_ptr<Call> call, nlohmann::json reply, CKError error);
    // Completes on the main loop, never inside the call that started the operation.
    void later(std::function<void()> work);

    // Sends a request of any kind with retries (JSON routes, asset uploads and downloads).
    void send(std::shared_ptr<Call> call);
    // Records of a reply, with their asset fields downloaded; failed entries become item
    // errors. Completes with a whole-call error when an asset cannot be had.
    void recordsOfReply(const nlohmann::json& entries, const CKRecordZoneID& zone,
                        RecordsCompletion completion);
    void modifyChunk(std::shared_ptr<Modify> modify, std::size_t chunk);
    void sendModify(std::shared_ptr<Modify> modify, std::size_t chunk,
                    std::map<std::string, nlohmann::json> receipts);
    void finishChunk(std::shared_ptr<Modify> modify, std::size_t chunk, nlohmann::json reply,
                     CKError error);
    void queryPage(nlohmann::json body, QueryCompletion completion);

    HttpTransport& transport_;
    DBSecretStore& tokens_;
    CloudKitWebServicesConfig config_;
    std::filesystem::path assetFolder_;
    bool ownsAssetFolder_ = false;
    std::map<CKRecordID, std::vector<std::filesystem::path>> assetFiles_;
    std::uint64_t nextAssetFile_ = 1;
    std::string signInURL_;
    std::set<std::shared_ptr<Call>> calls_;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace ravelong
