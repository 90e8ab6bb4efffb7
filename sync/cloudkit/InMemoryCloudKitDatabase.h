#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "foundation/MainLoop.h"
#include "sync/cloudkit/CloudKitDatabase.h"

namespace ravelong {

// The server side of an in-memory CloudKit container: the public database, every user's private
// zones and the shares between users. Several InMemoryCloudKitDatabase objects (one per computer
// and scope) share one container, so that two computers signed in to one account see the same
// zones. Asset contents are copied into a private temporary folder removed with the container.
class InMemoryCloudKitContainer {
public:
    InMemoryCloudKitContainer();
    ~InMemoryCloudKitContainer();
    InMemoryCloudKitContainer(const InMemoryCloudKitContainer&) = delete;
    InMemoryCloudKitContainer& operator=(const InMemoryCloudKitContainer&) = delete;

    // What the user does elsewhere: deleting a zone in the account settings (fetching it then
    // fails with userDeletedZone until it is saved again), and the server forgetting every change
    // token it handed out (the next fetch of changes fails with changeTokenExpired).
    void userDeletesZone(const std::string& userName, const std::string& zoneName);
    void expireChangeTokens();
    // Records of a user's zone (or of the public database when userName is empty), by name.
    std::map<std::string, CKRecord> records(const std::string& userName,
                                            const std::string& zoneName) const;
    const std::vector<CKQuerySubscription>& subscriptions() const { return subscriptions_; }

    // The most changes one fetch of a zone's changes returns.
    std::size_t changesPageSize = 200;

private:
    friend class InMemoryCloudKitDatabase;
    struct StoredRecord {
        CKRecord record;
        std::uint64_t serial = 0;  // the zone change that wrote it last
    };
    struct Tombstone {
        std::string recordType;
        std::uint64_t serial = 0;
    };
    struct Zone {
        std::uint64_t incarnation = 0;
        std::uint64_t serial = 0;
        std::map<std::string, StoredRecord> records;
        std::map<std::string, Tombstone> deleted;
        std::set<std::string> issuedTokens;
    };
    struct UserZones {
        std::map<std::string, Zone> zones;
        std::set<std::string> deletedByUser;
    };

    std::filesystem::path storeAsset(const std::filesystem::path& source);

    std::filesystem::path assetFolder_;
    std::uint64_t nextIncarnation_ = 1;
    std::uint64_t nextChangeTag_ = 1;
    std::uint64_t nextAsset_ = 1;
    // By user record name; the public database is the user "".
    std::map<std::string, UserZones> users_;
    // Accepted shares: (participant, owner, zone name).
    std::set<std::tuple<std::string, std::string, std::string>> accepted_;
    std::vector<CKQuerySubscription> subscriptions_;
};

// One database (public, private or shared scope) of an in-memory container, as one computer
// signed in as `userName` sees it; std::nullopt is a computer signed out of its account. It keeps
// CloudKit's rules and error codes: zoneNotFound / userDeletedZone for missing zones, change tags
// with serverRecordChanged, unknownItem for missing records, partial failures per record, query
// cursors, a zone change feed with tokens, notAuthenticated while signed out.
//
// Every operation takes effect when its completion is delivered on the main loop (after `delay`
// seconds when set), never inside the call. Fetched assets are copied into a private temporary
// folder of this object.
class InMemoryCloudKitDatabase final : public CloudKitDatabase {
public:
    InMemoryCloudKitDatabase(MainLoop& loop, std::shared_ptr<InMemoryCloudKitContainer> container,
                             Scope scope, std::optional<std::string> userName);
    ~InMemoryCloudKitDatabase() override;

    Scope scope() const override { return scope_; }
    void setUserName(std::optional<std::string> userName) { userName_ = std::move(userName); }

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

    // Test hooks. The next `count` calls fail whole with `error` (before doing anything).
    void failNextCalls(CKError error, std::size_t count = 1);
    // Every record named here fails with `code` in fetches and saves until cleared.
    void failRecords(std::set<std::string> recordNames, int code);
    void clearFailures();
    // Seconds each completion waits (on the loop's clock) before the operation takes effect.
    double delay = 0;

    // What was asked of the database, for tests that count round trips.
    struct Calls {
        std::size_t fetches = 0, modifies = 0, queries = 0, changes = 0;
        std::vector<std::vector<CKRecordID>> deleteBatches;
        std::vector<std::size_t> saveBatchSizes;
    };
    const Calls& calls() const { return calls_; }

private:
    struct QueryState {
        CKQuery query;
        CKRecordZoneID zoneID;
        std::size_t limit = 0;
        std::size_t offset = 0;
    };
    // Queues work on the loop (after the delay); the work runs only while this object lives.
    template <class Work, class Dead>
    void later(Work work, Dead dead);
    // The failure injected for this call, if any.
    std::optional<CKError> injectedFailure();
    // The zone a zone ID reaches in this scope for this user, or the error that stops it.
    InMemoryCloudKitContainer::Zone* zoneFor(const CKRecordZoneID& zoneID, CKError& error);
    CKError ownerFor(const CKRecordZoneID& zoneID, std::string& owner) const;
    CKRecord copyForClient(const CKRecord& stored,
                           const std::optional<std::vector<std::string>>& desiredKeys,
                           const CKRecordZoneID& view);
    void runQuery(QueryState state, const std::optional<std::vector<std::string>>& desiredKeys,
                  QueryCompletion completion);

    MainLoop& loop_;
    std::shared_ptr<InMemoryCloudKitContainer> container_;
    Scope scope_;
    std::optional<std::string> userName_;
    std::filesystem::path downloads_;
    std::uint64_t nextDownload_ = 1;
    std::map<std::string, QueryState> cursors_;
    std::uint64_t nextCursor_ = 1;
    std::vector<std::pair<CKError, std::size_t>> injected_;
    std::set<std::string> failingRecords_;
    int failingCode_ = CKErrorCode::none;
    Calls calls_;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace ravelong
