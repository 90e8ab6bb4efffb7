#pragma once

#include <compare>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace ravelong {

// CloudKit's own error codes, as its servers and clients report them.
namespace CKErrorCode {
inline constexpr int none = 0;
inline constexpr int internalError = 1;
inline constexpr int partialFailure = 2;
inline constexpr int networkUnavailable = 3;
inline constexpr int networkFailure = 4;
inline constexpr int serviceUnavailable = 6;
inline constexpr int requestRateLimited = 7;
inline constexpr int notAuthenticated = 9;
inline constexpr int permissionFailure = 10;
inline constexpr int unknownItem = 11;
inline constexpr int invalidArguments = 12;
inline constexpr int serverRecordChanged = 14;
inline constexpr int serverRejectedRequest = 15;
inline constexpr int changeTokenExpired = 21;
inline constexpr int quotaExceeded = 25;
inline constexpr int zoneNotFound = 26;
inline constexpr int limitExceeded = 27;
inline constexpr int userDeletedZone = 28;
}  // namespace CKErrorCode

inline constexpr const char* kCKErrorDomain = "CKErrorDomain";
inline constexpr const char* kCKDefaultZoneName = "_defaultZone";
inline constexpr const char* kCKCurrentUserOwnerName = "__defaultOwner__";
inline constexpr const char* kCKShareRecordType = "cloudkit.share";

struct CKRecordZoneID {
    std::string zoneName = kCKDefaultZoneName;
    std::string ownerName = kCKCurrentUserOwnerName;

    auto operator<=>(const CKRecordZoneID&) const = default;
};

struct CKRecordID {
    std::string recordName;
    CKRecordZoneID zoneID;

    auto operator<=>(const CKRecordID&) const = default;
};

struct CKReference {
    enum class Action { none, deleteSelf };
    CKRecordID recordID;
    Action action = Action::none;

    bool operator==(const CKReference&) const = default;
};

// File contents travelling with a record. On a save, fileURL is a local file the database reads;
// on a fetch, a local file the database wrote, which stays valid until the database is destroyed
// or the same record is fetched again.
struct CKAsset {
    std::filesystem::path fileURL;

    bool operator==(const CKAsset&) const = default;
};

// Booleans and unsigned sizes travel as numbers (std::int64_t), as CloudKit stores them.
using CKValue = std::variant<std::string, std::int64_t, double, CKReference, CKAsset>;

struct CKRecord {
    std::string recordType;
    CKRecordID recordID;
    std::vector<std::pair<std::string, CKValue>> fields;
    // The CloudKit parent, which decides what a share covers.
    std::optional<CKRecordID> parent;
    // For a record of type kCKShareRecordType: the share of the root record named here.
    std::optional<CKRecordID> shareRootRecordID;
    // Set by the server; an empty tag on a save means "a new record".
    std::string recordChangeTag;
    // Seconds since 2001-01-01 00:00:00 UTC, set by the server.
    double modificationDate = 0;

    const CKValue* field(const std::string& key) const;
    void setField(const std::string& key, CKValue value);
};

struct CKRecordZone {
    CKRecordZoneID zoneID;
};

// An error of one record (or zone) inside a partial failure.
struct CKItemError {
    CKRecordID recordID;
    int code = CKErrorCode::none;
    std::string description;
};

// The outcome of a database operation: code none on success; partialFailure with the failing
// items listed (the items not listed succeeded); any other code for a failure of the whole call.
// retryAfterSeconds is what the server asked for with serviceUnavailable / requestRateLimited.
struct CKError {
    int code = CKErrorCode::none;
    std::string description;
    std::vector<CKItemError> partialErrors;
    double retryAfterSeconds = 0;

    bool ok() const { return code == CKErrorCode::none; }
    // A partial failure whose every item failed with one of these codes.
    bool isPartialFailureOnlyOf(std::initializer_list<int> codes) const;
};

// One condition of a query: "field = value", "field > value", or every record when field is empty.
struct CKQueryFilter {
    enum class Comparator { equals, greaterThan };
    std::string fieldName;
    Comparator comparator = Comparator::equals;
    CKValue value;
};

struct CKQuery {
    std::string recordType;
    std::vector<CKQueryFilter> filters;  // all must hold; none = every record of the type
    std::string sortFieldName;           // empty = server order
    bool sortAscending = true;
};

// Where a query that had more results stopped; opaque to the caller.
struct CKQueryCursor {
    std::string opaque;
};

// A position in a zone's change feed; opaque to the caller.
struct CKServerChangeToken {
    std::string opaque;

    bool operator==(const CKServerChangeToken&) const = default;
};

struct CKQuerySubscription {
    std::string subscriptionID;
    std::string recordType;
    std::vector<CKQueryFilter> filters;
    bool firesOnRecordCreation = true;
    bool silentNotification = true;  // content-available, no alert
    std::optional<CKRecordZoneID> zoneID;
};

// What a share invitation carries. The link the owner sent ends in the share's short GUID
// ("https://www.icloud.com/share/0Ab3...#Title"), which is what the web services accept by;
// `shortGUID` is taken from the link when it is empty.
struct CKShareMetadata {
    CKRecordID shareRecordID;
    CKRecordID rootRecordID;
    std::string ownerName;
    std::string shareURL;
    std::string shortGUID;
};

struct CKZoneChanges {
    std::vector<CKRecord> changedRecords;
    struct Deletion {
        CKRecordID recordID;
        std::string recordType;
    };
    std::vector<Deletion> deletedRecords;
    CKServerChangeToken serverChangeToken;
    bool moreComing = false;
};

// A CloudKit database (public, private or shared) of one container, as the sync back-end uses it.
// Every operation is asynchronous; its completion runs exactly once on the main loop, never
// inside the call that started it. Call from the main thread.
//
// Two implementations: CloudKitWebServicesDatabase talks to CloudKit's web services over HTTPS;
// InMemoryCloudKitDatabase keeps everything in memory with the same rules and error codes, for
// tests and the synchronisation simulation.
class CloudKitDatabase {
public:
    enum class Scope { publicScope = 1, privateScope = 2, sharedScope = 3 };

    using Completion = std::function<void(CKError)>;
    using ZoneCompletion = std::function<void(std::optional<CKRecordZone>, CKError)>;
    // The records found, in no particular order; missing ones are partial errors of unknownItem.
    using RecordsCompletion = std::function<void(std::vector<CKRecord>, CKError)>;
    using ModifyCompletion =
        std::function<void(std::vector<CKRecord> saved, std::vector<CKRecordID> deleted, CKError)>;
    using QueryCompletion =
        std::function<void(std::vector<CKRecord>, std::optional<CKQueryCursor>, CKError)>;
    using ChangesCompletion = std::function<void(CKZoneChanges, CKError)>;
    using UserCompletion = std::function<void(std::optional<CKRecordID>, CKError)>;

    virtual ~CloudKitDatabase() = default;

    virtual Scope scope() const = 0;

    // zoneNotFound (or userDeletedZone) when the zone does not exist.
    virtual void fetchRecordZone(const CKRecordZoneID& zoneID, ZoneCompletion completion) = 0;
    virtual void saveRecordZone(const CKRecordZoneID& zoneID, Completion completion) = 0;
    virtual void deleteRecordZone(const CKRecordZoneID& zoneID, Completion completion) = 0;

    // desiredKeys: the fields wanted; nullopt for all of them.
    virtual void fetchRecords(const std::vector<CKRecordID>& recordIDs,
                              const std::optional<std::vector<std::string>>& desiredKeys,
                              RecordsCompletion completion) = 0;
    // Saves (creating or replacing: a record whose change tag differs from the server's fails with
    // serverRecordChanged unless the tag is empty and the record is new) and deletes in one call;
    // failures of single records come back as a partial failure. At most 400 records a call.
    virtual void modifyRecords(const std::vector<CKRecord>& recordsToSave,
                               const std::vector<CKRecordID>& recordIDsToDelete,
                               ModifyCompletion completion) = 0;
    // One page of results (resultsLimit records at most); the cursor fetches the next page.
    virtual void performQuery(const CKQuery& query, const CKRecordZoneID& zoneID,
                              const std::optional<std::vector<std::string>>& desiredKeys,
                              std::size_t resultsLimit, QueryCompletion completion) = 0;
    virtual void performQuery(const CKQueryCursor& cursor,
                              const std::optional<std::vector<std::string>>& desiredKeys,
                              QueryCompletion completion) = 0;
    // The changes of a zone since a token (nullopt: everything); changeTokenExpired when the
    // server no longer knows the token.
    virtual void fetchRecordZoneChanges(const CKRecordZoneID& zoneID,
                                        const std::optional<CKServerChangeToken>& since,
                                        const std::optional<std::vector<std::string>>& desiredKeys,
                                        ChangesCompletion completion) = 0;

    // The record ID of the signed-in user; notAuthenticated when nobody is signed in.
    virtual void fetchUserRecordID(UserCompletion completion) = 0;
    virtual void saveSubscription(const CKQuerySubscription& subscription,
                                  Completion completion) = 0;
    // Accepts an invitation: afterwards the shared zone is reachable through the shared scope.
    virtual void acceptShare(const CKShareMetadata& metadata, Completion completion) = 0;
};

}  // namespace ravelong
