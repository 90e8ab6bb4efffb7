#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "sync/TestHttpServer.h"
#include "sync/cloudkit/CloudKitWebServicesDatabase.h"

namespace ravelong::testing {

// An in-process stand-in for CloudKit's web services on 127.0.0.1 (a free port): the routes the
// web services database uses, over records, zones, change feeds and assets held in memory, with
// the service's tokens (ckAPIToken, ckWebAuthToken and its renewal) and its error replies, plus
// injected faults (any reply, delays, dropped connections, truncated bodies) and an added
// latency per request.
//
// Routes are named by their operation ("records/modify", "zones/lookup", "users/caller"); the
// asset transfers are "assets/put" (the upload of a file's bytes) and "assets/download".
class FakeCloudKitServer : public FakeServiceFaults {
public:
    FakeCloudKitServer();
    ~FakeCloudKitServer();
    FakeCloudKitServer(const FakeCloudKitServer&) = delete;
    FakeCloudKitServer& operator=(const FakeCloudKitServer&) = delete;

    int port() const { return server_.port(); }
    std::string baseURL() const;
    // A configuration pointing here, with timeouts and retry delays fit for tests.
    CloudKitWebServicesConfig config(
        CloudKitDatabase::Scope scope = CloudKitDatabase::Scope::privateScope) const;

    std::string apiToken = "fake-api-token";
    std::string containerIdentifier = "iCloud.org.ravelong.test";
    std::string userRecordName = "_0123456789abcdef0123456789abcdef";
    std::string signInPage = "https://sign-in.example/ck?session=42";
    // A web auth token the server accepts from now on.
    void acceptWebAuthToken(const std::string& token);
    void revokeWebAuthTokens();
    // When set, every authenticated reply hands out a renewed token (the old one stays valid).
    std::atomic<bool> renewTokens{false};
    std::string lastRenewedToken() const;

    // Records of a zone ("_defaultZone" always exists in every database).
    std::size_t recordCount(const std::string& zoneName = "_defaultZone") const;
    std::optional<nlohmann::json> record(const std::string& recordName,
                                         const std::string& zoneName = "_defaultZone") const;
    void putRecord(const nlohmann::json& record, const std::string& zoneName = "_defaultZone");
    // Stored asset bytes of a record's field.
    std::optional<std::string> assetBytes(const std::string& recordName, const std::string& field,
                                          const std::string& zoneName = "_defaultZone") const;
    // Change tokens issued so far stop being accepted.
    void expireChangeTokens();
    bool zoneExists(const std::string& zoneName) const;
    std::vector<nlohmann::json> subscriptions() const;

    // A CloudKit error reply: {"serverErrorCode": code, "reason": ..., extra members}.
    static FakeReply error(int status, const std::string& serverErrorCode,
                           nlohmann::json extra = nlohmann::json::object());

    std::atomic<double> latencySeconds{0};
    std::atomic<std::size_t> changesPageSize{200};
    // Asset bytes the account's records may hold; a save beyond fails with QUOTA_EXCEEDED.
    std::atomic<std::uint64_t> quotaBytes{UINT64_MAX};

    // The JSON bodies a route received, in order.
    std::vector<nlohmann::json> bodies(const std::string& route) const;
    // The query strings requests carried (to check what reached the URL).
    std::vector<std::string> queries() const;
    int mostConcurrent() const { return server_.mostConcurrent(); }

private:
    struct Request {
        std::string method, path, query, body;
        std::map<std::string, std::string> headers;
    };
    struct Entry {
        nlohmann::json record;  // as the service returns it, assets as stored receipts
        std::string recordType;
        bool deleted = false;
        std::uint64_t sequence = 0;
    };
    struct Zone {
        std::uint64_t generation = 0;
        std::map<std::string, Entry> records;
    };

    FakeReply handle(const Request& request);
    FakeReply route(const std::string& database, const std::string& operation,
                    const nlohmann::json& body, const std::string& webToken);
    FakeReply modify(Zone& zone, const nlohmann::json& body);
    FakeReply query(const Zone& zone, const nlohmann::json& body);
    FakeReply changes(const std::string& database, const nlohmann::json& body);
    nlohmann::json replyRecord(const Entry& entry,
                               const std::optional<std::set<std::string>>& keys) const;
    Zone* zone(const std::string& database, const nlohmann::json& zoneID);
    // Bytes of the assets live records hold, and of the assets of one record.
    std::uint64_t storedBytes() const;
    std::uint64_t assetBytesOf(const nlohmann::json& record) const;

    std::map<std::string, std::map<std::string, Zone>> databases_;  // by "private", "shared", ...
    std::map<std::string, std::string> assets_;                     // receipt -> bytes
    std::map<std::string, std::string> pendingUploads_;             // upload id -> receipt
    std::set<std::string> webTokens_;
    std::string lastRenewed_;
    std::vector<nlohmann::json> subscriptions_;
    std::uint64_t sequence_ = 1;
    std::uint64_t generation_ = 1;
    std::uint64_t nextId_ = 1;
    std::map<std::string, std::vector<nlohmann::json>> bodies_;
    std::vector<std::string> queries_;
    TestHttpServer server_;  // last: it goes first, before what its handler uses
};

}  // namespace ravelong::testing
