#include "sync/cloudkit/InMemoryCloudKitDatabase.h"

#include <stdlib.h>

#include <algorithm>
#include <stdexcept>
#include <system_error>

#include "foundation/Clock.h"

namespace ravelong {

namespace fs = std::filesystem;

namespace {

fs::path makePrivateFolder(const char* prefix) {
    std::string pattern = (fs::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
    if (!mkdtemp(pattern.data()))
        throw std::system_error(errno, std::generic_category(), "mkdtemp");
    return pattern;
}

CKError failure(int code, std::string description) {
    return CKError{code, std::move(description), {}, 0};
}

CKError closed() {
    return failure(CKErrorCode::networkFailure, "The database was closed.");
}

// Orders two values of a field: numbers with numbers, strings with strings; nullopt when they
// cannot be compared (the query then does not match).
std::optional<int> compareValues(const CKValue& a, const CKValue& b) {
    auto number = [](const CKValue& v) -> std::optional<double> {
        if (auto i = std::get_if<std::int64_t>(&v))
            return static_cast<double>(*i);
        if (auto d = std::get_if<double>(&v))
            return *d;
        return std::nullopt;
    };
    if (auto x = number(a), y = number(b); x && y)
        return *x < *y ? -1 : *x > *y ? 1 : 0;
    auto sa = std::get_if<std::string>(&a), sb = std::get_if<std::string>(&b);
    if (sa && sb)
        return sa->compare(*sb) < 0 ? -1 : sa->compare(*sb) > 0 ? 1 : 0;
    auto ra = std::get_if<CKReference>(&a), rb = std::get_if<CKReference>(&b);
    if (ra && rb)
        return ra->recordID == rb->recordID ? 0 : ra->recordID < rb->recordID ? -1 : 1;
    return std::nullopt;
}

bool matches(const CKRecord& record, const CKQuery& query) {
    if (record.recordType != query.recordType)
        return false;
    return std::all_of(query.filters.begin(), query.filters.end(), [&](const CKQueryFilter& f) {
        if (f.fieldName.empty())
            return true;
        const CKValue* value = record.field(f.fieldName);
        if (!value)
            return false;
        auto order = compareValues(*value, f.value);
        if (!order)
            return false;
        return f.comparator == CKQueryFilter::Comparator::equals ? *order == 0 : *order > 0;
    });
}

CKError partialOrNone(std::vector<CKItemError> items) {
    if (items.empty())
        return CKError{};
    CKError error = failure(CKErrorCode::partialFailure, "Failed to modify some records");
    error.partialErrors = std::move(items);
    return error;
}

}  // namespace

// ---- Container ----

InMemoryCloudKitContainer::InMemoryCloudKitContainer()
    : assetFolder_(makePrivateFolder("ravelong-ck-assets")) {}

InMemoryCloudKitContainer::~InMemoryCloudKitContainer() {
    std::error_code ec;
    fs::remove_all(assetFolder_, ec);
}

void InMemoryCloudKitContainer::userDeletesZone(const std::string& userName,
                                                const std::string& zoneName) {
    auto& user = users_[userName];
    user.zones.erase(zoneName);
    user.deletedByUser.insert(zoneName);
}

void InMemoryCloudKitContainer::expireChangeTokens() {
    for (auto& [name, user] : users_)
        for (auto& [zoneName, zone] : user.zones)
            zone.issuedTokens.clear();
}

std::map<std::string, CKRecord> InMemoryCloudKitContainer::records(
    const std::string& userName, const std::string& zoneName) const {
    std::map<std::string, CKRecord> out;
    auto user = users_.find(userName);
    if (user == users_.end())
        return out;
    auto zone = user->second.zones.find(zoneName);
    if (zone == user->second.zones.end())
        return out;
    for (const auto& [name, stored] : zone->second.records)
        out.emplace(name, stored.record);
    return out;
}

fs::path InMemoryCloudKitContainer::storeAsset(const fs::path& source) {
    fs::path target = assetFolder_ / ("asset-" + std::to_string(nextAsset_++));
    std::error_code ec;
    if (!fs::is_regular_file(source, ec) ||
        !fs::copy_file(source, target, fs::copy_options::overwrite_existing, ec))
        return {};
    return target;
}

// ---- Database ----

InMemoryCloudKitDatabase::InMemoryCloudKitDatabase(
    MainLoop& loop, std::shared_ptr<InMemoryCloudKitContainer> container, Scope scope,
    std::optional<std::string> userName)
    : loop_(loop),
      container_(std::move(container)),
      scope_(scope),
      userName_(std::move(userName)),
      downloads_(makePrivateFolder("ravelong-ck-downloads")) {}

InMemoryCloudKitDatabase::~InMemoryCloudKitDatabase() {
    alive_.reset();
    std::error_code ec;
    fs::remove_all(downloads_, ec);
}

template <class Work, class Dead>
void InMemoryCloudKitDatabase::later(Work work, Dead dead) {
    auto run = [alive = std::weak_ptr<int>(alive_), work = std::move(work),
                dead = std::move(dead)]() mutable {
        if (alive.lock())
            work();
        else
            dead();
    };
    if (delay > 0)
        loop_.runAfter(delay, std::move(run));
    else
        loop_.runOnMainThread(std::move(run));
}

void InMemoryCloudKitDatabase::failNextCalls(CKError error, std::size_t count) {
    injected_.emplace_back(std::move(error), count);
}

void InMemoryCloudKitDatabase::failRecords(std::set<std::string> recordNames, int code) {
    failingRecords_ = std::move(recordNames);
    failingCode_ = code;
}

void InMemoryCloudKitDatabase::clearFailures() {
    injected_.clear();
    failingRecords_.clear();
    failingCode_ = CKErrorCode::none;
}

std::optional<CKError> InMemoryCloudKitDatabase::injectedFailure() {
    while (!injected_.empty() && injected_.front().second == 0)
        injected_.erase(injected_.begin());
    if (injected_.empty())
        return std::nullopt;
    --injected_.front().second;
    return injected_.front().first;
}

CKError InMemoryCloudKitDatabase::ownerFor(const CKRecordZoneID& zoneID, std::string& owner) const {
    if (scope_ == Scope::publicScope) {
        owner.clear();
        return CKError{};
    }
    if (!userName_)
        return failure(CKErrorCode::notAuthenticated, "No account is signed in.");
    if (scope_ == Scope::privateScope) {
        if (zoneID.ownerName != kCKCurrentUserOwnerName && zoneID.ownerName != *userName_)
            return failure(CKErrorCode::permissionFailure,
                           "The private database holds only the user's own zones.");
        owner = *userName_;
        return CKError{};
    }
    owner = zoneID.ownerName;
    if (owner == *userName_ || owner == kCKCurrentUserOwnerName ||
        !container_->accepted_.contains({*userName_, owner, zoneID.zoneName}))
        return failure(CKErrorCode::zoneNotFound, "No shared zone " + zoneID.zoneName + ".");
    return CKError{};
}

InMemoryCloudKitContainer::Zone* InMemoryCloudKitDatabase::zoneFor(const CKRecordZoneID& zoneID,
                                                                   CKError& error) {
    std::string owner;
    error = ownerFor(zoneID, owner);
    if (!error.ok())
        return nullptr;
    auto& user = container_->users_[owner];
    auto found = user.zones.find(zoneID.zoneName);
    if (found != user.zones.end())
        return &found->second;
    if (zoneID.zoneName == kCKDefaultZoneName) {
        // The default zone always exists.
        auto& zone = user.zones[kCKDefaultZoneName];
        zone.incarnation = container_->nextIncarnation_++;
        return &zone;
    }
    error = user.deletedByUser.contains(zoneID.zoneName)
                ? failure(CKErrorCode::userDeletedZone,
                          "The user deleted the zone " + zoneID.zoneName + ".")
                : failure(CKErrorCode::zoneNotFound, "Zone " + zoneID.zoneName + " not found.");
    return nullptr;
}

CKRecord InMemoryCloudKitDatabase::copyForClient(
    const CKRecord& stored, const std::optional<std::vector<std::string>>& desiredKeys,
    const CKRecordZoneID& view) {
    CKRecord copy = stored;
    // The IDs come back in the zone ID the caller used: the owner writes "__defaultOwner__",
    // a participant the owner's name. References never leave their zone.
    auto asSeen = [&](CKRecordID& id) {
        if (id.zoneID.zoneName == view.zoneName)
            id.zoneID = view;
    };
    asSeen(copy.recordID);
    if (copy.parent)
        asSeen(*copy.parent);
    if (copy.shareRootRecordID)
        asSeen(*copy.shareRootRecordID);
    for (auto& [name, value] : copy.fields)
        if (auto* ref = std::get_if<CKReference>(&value))
            asSeen(ref->recordID);
    if (desiredKeys) {
        std::erase_if(copy.fields, [&](const auto& field) {
            return std::find(desiredKeys->begin(), desiredKeys->end(), field.first) ==
                   desiredKeys->end();
        });
    }
    for (auto& [name, value] : copy.fields) {
        auto* asset = std::get_if<CKAsset>(&value);
        if (!asset)
            continue;
        fs::path local = downloads_ / ("download-" + std::to_string(nextDownload_++));
        std::error_code ec;
        fs::copy_file(asset->fileURL, local, fs::copy_options::overwrite_existing, ec);
        asset->fileURL = ec ? fs::path() : local;
    }
    return copy;
}

void InMemoryCloudKitDatabase::fetchRecordZone(const CKRecordZoneID& zoneID,
                                               ZoneCompletion completion) {
    later(
        [this, zoneID, completion] {
            if (auto injected = injectedFailure())
                return completion(std::nullopt, *injected);
            CKError error;
            if (!zoneFor(zoneID, error))
                return completion(std::nullopt, error);
            completion(CKRecordZone{zoneID}, CKError{});
        },
        [completion] { completion(std::nullopt, closed()); });
}

void InMemoryCloudKitDatabase::saveRecordZone(const CKRecordZoneID& zoneID, Completion completion) {
    later(
        [this, zoneID, completion] {
            if (auto injected = injectedFailure())
                return completion(*injected);
            if (scope_ != Scope::privateScope)
                return completion(failure(CKErrorCode::permissionFailure,
                                          "Zones can be made only in the private database."));
            std::string owner;
            if (CKError error = ownerFor(zoneID, owner); !error.ok())
                return completion(error);
            auto& user = container_->users_[owner];
            user.deletedByUser.erase(zoneID.zoneName);
            if (!user.zones.contains(zoneID.zoneName))
                user.zones[zoneID.zoneName].incarnation = container_->nextIncarnation_++;
            completion(CKError{});
        },
        [completion] { completion(closed()); });
}

void InMemoryCloudKitDatabase::deleteRecordZone(const CKRecordZoneID& zoneID,
                                                Completion completion) {
    later(
        [this, zoneID, completion] {
            if (auto injected = injectedFailure())
                return completion(*injected);
            CKError error;
            if (!zoneFor(zoneID, error))
                return completion(error);
            std::string owner;
            (void)ownerFor(zoneID, owner);
            container_->users_[owner].zones.erase(zoneID.zoneName);
            completion(CKError{});
        },
        [completion] { completion(closed()); });
}

void InMemoryCloudKitDatabase::fetchRecords(
    const std::vector<CKRecordID>& recordIDs,
    const std::optional<std::vector<std::string>>& desiredKeys, RecordsCompletion completion) {
    ++calls_.fetches;
    later(
        [this, recordIDs, desiredKeys, completion] {
            if (auto injected = injectedFailure())
                return completion({}, *injected);
            std::vector<CKRecord> found;
            std::vector<CKItemError> failed;
            for (const auto& id : recordIDs) {
                CKError error;
                auto* zone = zoneFor(id.zoneID, error);
                if (!zone) {
                    failed.push_back({id, error.code, error.description});
                    continue;
                }
                if (failingRecords_.contains(id.recordName)) {
                    failed.push_back({id, failingCode_, "Injected failure."});
                    continue;
                }
                auto stored = zone->records.find(id.recordName);
                if (stored == zone->records.end()) {
                    failed.push_back({id, CKErrorCode::unknownItem, "Record not found."});
                    continue;
                }
                found.push_back(copyForClient(stored->second.record, desiredKeys, id.zoneID));
            }
            completion(std::move(found), partialOrNone(std::move(failed)));
        },
        [completion] { completion({}, closed()); });
}

void InMemoryCloudKitDatabase::modifyRecords(const std::vector<CKRecord>& recordsToSave,
                                             const std::vector<CKRecordID>& recordIDsToDelete,
                                             ModifyCompletion completion) {
    ++calls_.modifies;
    if (!recordIDsToDelete.empty())
        calls_.deleteBatches.push_back(recordIDsToDelete);
    if (!recordsToSave.empty())
        calls_.saveBatchSizes.push_back(recordsToSave.size());
    later(
        [this, recordsToSave, recordIDsToDelete, completion] {
            if (auto injected = injectedFailure())
                return completion({}, {}, *injected);
            if (recordsToSave.size() + recordIDsToDelete.size() > 400)
                return completion({}, {},
                                  failure(CKErrorCode::limitExceeded,
                                          "At most 400 records can be modified in one request."));
            if (scope_ != Scope::publicScope && !userName_)
                return completion(
                    {}, {}, failure(CKErrorCode::notAuthenticated, "No account is signed in."));
            std::vector<CKRecord> saved;
            std::vector<CKRecordID> deleted;
            std::vector<CKItemError> failed;
            auto rootInBatch = [&](const CKRecordID& root) {
                return std::any_of(recordsToSave.begin(), recordsToSave.end(),
                                   [&](const CKRecord& r) { return r.recordID == root; });
            };
            for (const auto& record : recordsToSave) {
                const CKRecordID& id = record.recordID;
                CKError error;
                auto* zone = zoneFor(id.zoneID, error);
                if (!zone) {
                    failed.push_back({id, error.code, error.description});
                    continue;
                }
                if (failingRecords_.contains(id.recordName)) {
                    failed.push_back({id, failingCode_, "Injected failure."});
                    continue;
                }
                auto existing = zone->records.find(id.recordName);
                if (existing != zone->records.end() &&
                    existing->second.record.recordChangeTag != record.recordChangeTag) {
                    failed.push_back({id, CKErrorCode::serverRecordChanged,
                                      "The record on the server has changed."});
                    continue;
                }
                if (record.recordType == kCKShareRecordType &&
                    (!record.shareRootRecordID ||
                     (!zone->records.contains(record.shareRootRecordID->recordName) &&
                      !rootInBatch(*record.shareRootRecordID)))) {
                    failed.push_back(
                        {id, CKErrorCode::invalidArguments, "A share needs its root record."});
                    continue;
                }
                CKRecord stored = record;
                bool assetsStored = true;
                for (auto& [name, value] : stored.fields)
                    if (auto* asset = std::get_if<CKAsset>(&value)) {
                        asset->fileURL = container_->storeAsset(asset->fileURL);
                        assetsStored = assetsStored && !asset->fileURL.empty();
                    }
                if (!assetsStored) {
                    failed.push_back({id, CKErrorCode::invalidArguments,
                                      "The file of an asset cannot be read."});
                    continue;
                }
                stored.recordChangeTag = std::to_string(container_->nextChangeTag_++);
                stored.modificationDate = Clock::current().now();
                zone->deleted.erase(id.recordName);
                zone->records[id.recordName] = {stored, ++zone->serial};
                CKRecord reply = record;
                reply.recordChangeTag = stored.recordChangeTag;
                reply.modificationDate = stored.modificationDate;
                saved.push_back(std::move(reply));
            }
            for (const auto& id : recordIDsToDelete) {
                CKError error;
                auto* zone = zoneFor(id.zoneID, error);
                if (!zone) {
                    failed.push_back({id, error.code, error.description});
                    continue;
                }
                if (failingRecords_.contains(id.recordName)) {
                    failed.push_back({id, failingCode_, "Injected failure."});
                    continue;
                }
                // Deleting a record that is already gone is not an error.
                std::vector<std::string> gone{id.recordName};
                while (!gone.empty()) {
                    std::string name = gone.back();
                    gone.pop_back();
                    auto it = zone->records.find(name);
                    if (it == zone->records.end())
                        continue;
                    zone->deleted[name] = {it->second.record.recordType, ++zone->serial};
                    zone->records.erase(it);
                    // References with the delete-self action go with the record they name.
                    for (const auto& [otherName, other] : zone->records)
                        for (const auto& [field, value] : other.record.fields)
                            if (auto* ref = std::get_if<CKReference>(&value);
                                ref && ref->action == CKReference::Action::deleteSelf &&
                                ref->recordID.recordName == name)
                                gone.push_back(otherName);
                }
                deleted.push_back(id);
            }
            completion(std::move(saved), std::move(deleted), partialOrNone(std::move(failed)));
        },
        [completion] { completion({}, {}, closed()); });
}

void InMemoryCloudKitDatabase::runQuery(QueryState state,
                                        const std::optional<std::vector<std::string>>& desiredKeys,
                                        QueryCompletion completion) {
    if (auto injected = injectedFailure())
        return completion({}, std::nullopt, *injected);
    CKError error;
    auto* zone = zoneFor(state.zoneID, error);
    if (!zone)
        return completion({}, std::nullopt, error);
    std::vector<const CKRecord*> hits;
    for (const auto& [name, stored] : zone->records)
        if (matches(stored.record, state.query))
            hits.push_back(&stored.record);
    if (!state.query.sortFieldName.empty()) {
        const std::string& key = state.query.sortFieldName;
        bool ascending = state.query.sortAscending;
        std::stable_sort(hits.begin(), hits.end(), [&](const CKRecord* a, const CKRecord* b) {
            const CKValue* va = a->field(key);
            const CKValue* vb = b->field(key);
            if (!va || !vb)
                return !va && vb;  // records without the field come first
            auto order = compareValues(*va, *vb);
            return order && (ascending ? *order < 0 : *order > 0);
        });
    }
    std::size_t end = std::min(hits.size(), state.offset + state.limit);
    std::vector<CKRecord> page;
    for (std::size_t i = state.offset; i < end; ++i)
        page.push_back(copyForClient(*hits[i], desiredKeys, state.zoneID));
    std::optional<CKQueryCursor> cursor;
    if (end < hits.size()) {
        cursor = CKQueryCursor{"cursor-" + std::to_string(nextCursor_++)};
        state.offset = end;
        cursors_[cursor->opaque] = state;
    }
    completion(std::move(page), std::move(cursor), CKError{});
}

void InMemoryCloudKitDatabase::performQuery(
    const CKQuery& query, const CKRecordZoneID& zoneID,
    const std::optional<std::vector<std::string>>& desiredKeys, std::size_t resultsLimit,
    QueryCompletion completion) {
    ++calls_.queries;
    QueryState state{query, zoneID, resultsLimit == 0 ? 100 : resultsLimit, 0};
    later([this, state, desiredKeys, completion] { runQuery(state, desiredKeys, completion); },
          [completion] { completion({}, std::nullopt, closed()); });
}

void InMemoryCloudKitDatabase::performQuery(
    const CKQueryCursor& cursor, const std::optional<std::vector<std::string>>& desiredKeys,
    QueryCompletion completion) {
    ++calls_.queries;
    later(
        [this, cursor, desiredKeys, completion] {
            auto found = cursors_.find(cursor.opaque);
            if (found == cursors_.end())
                return completion({}, std::nullopt,
                                  failure(CKErrorCode::invalidArguments, "Unknown query cursor."));
            QueryState state = found->second;
            cursors_.erase(found);
            runQuery(state, desiredKeys, completion);
        },
        [completion] { completion({}, std::nullopt, closed()); });
}

void InMemoryCloudKitDatabase::fetchRecordZoneChanges(
    const CKRecordZoneID& zoneID, const std::optional<CKServerChangeToken>& since,
    const std::optional<std::vector<std::string>>& desiredKeys, ChangesCompletion completion) {
    ++calls_.changes;
    later(
        [this, zoneID, since, desiredKeys, completion] {
            if (auto injected = injectedFailure())
                return completion({}, *injected);
            CKError error;
            auto* zone = zoneFor(zoneID, error);
            if (!zone)
                return completion({}, error);
            std::uint64_t from = 0;
            if (since) {
                if (!zone->issuedTokens.contains(since->opaque))
                    return completion({}, failure(CKErrorCode::changeTokenExpired,
                                                  "The change token has expired."));
                from = std::stoull(since->opaque.substr(since->opaque.find('.') + 1));
            }
            // Every record and deletion newer than the token, oldest first.
            std::vector<std::pair<std::uint64_t, std::string>> newer;
            for (const auto& [name, stored] : zone->records)
                if (stored.serial > from)
                    newer.emplace_back(stored.serial, name);
            for (const auto& [name, tombstone] : zone->deleted)
                if (tombstone.serial > from)
                    newer.emplace_back(tombstone.serial, name);
            std::sort(newer.begin(), newer.end());
            CKZoneChanges changes;
            std::size_t take = std::min(newer.size(), container_->changesPageSize);
            changes.moreComing = take < newer.size();
            for (std::size_t i = 0; i < take; ++i) {
                const std::string& name = newer[i].second;
                if (auto record = zone->records.find(name); record != zone->records.end())
                    changes.changedRecords.push_back(
                        copyForClient(record->second.record, desiredKeys, zoneID));
                else
                    changes.deletedRecords.push_back(
                        {CKRecordID{name, zoneID}, zone->deleted.at(name).recordType});
            }
            std::uint64_t upTo = changes.moreComing ? newer[take - 1].first : zone->serial;
            changes.serverChangeToken.opaque =
                std::to_string(zone->incarnation) + "." + std::to_string(upTo);
            zone->issuedTokens.insert(changes.serverChangeToken.opaque);
            completion(std::move(changes), CKError{});
        },
        [completion] { completion({}, closed()); });
}

void InMemoryCloudKitDatabase::fetchUserRecordID(UserCompletion completion) {
    later(
        [this, completion] {
            if (auto injected = injectedFailure())
                return completion(std::nullopt, *injected);
            if (!userName_)
                return completion(std::nullopt, failure(CKErrorCode::notAuthenticated,
                                                        "No account is signed in."));
            completion(CKRecordID{*userName_, CKRecordZoneID{}}, CKError{});
        },
        [completion] { completion(std::nullopt, closed()); });
}

void InMemoryCloudKitDatabase::saveSubscription(const CKQuerySubscription& subscription,
                                                Completion completion) {
    later(
        [this, subscription, completion] {
            if (auto injected = injectedFailure())
                return completion(*injected);
            if (!userName_)
                return completion(
                    failure(CKErrorCode::notAuthenticated, "No account is signed in."));
            if (subscription.subscriptionID.empty() || subscription.recordType.empty())
                return completion(failure(CKErrorCode::invalidArguments,
                                          "A subscription needs an ID and a record type."));
            auto& all = container_->subscriptions_;
            std::erase_if(all, [&](const CKQuerySubscription& s) {
                return s.subscriptionID == subscription.subscriptionID;
            });
            all.push_back(subscription);
            completion(CKError{});
        },
        [completion] { completion(closed()); });
}

void InMemoryCloudKitDatabase::acceptShare(const CKShareMetadata& metadata, Completion completion) {
    later(
        [this, metadata, completion] {
            if (auto injected = injectedFailure())
                return completion(*injected);
            if (!userName_)
                return completion(
                    failure(CKErrorCode::notAuthenticated, "No account is signed in."));
            auto& zones = container_->users_[metadata.ownerName].zones;
            auto zone = zones.find(metadata.shareRecordID.zoneID.zoneName);
            bool found = false;
            if (zone != zones.end()) {
                auto share = zone->second.records.find(metadata.shareRecordID.recordName);
                found = share != zone->second.records.end() &&
                        share->second.record.recordType == kCKShareRecordType;
            }
            if (!found)
                return completion(failure(CKErrorCode::unknownItem, "The share does not exist."));
            container_->accepted_.insert(
                {*userName_, metadata.ownerName, metadata.shareRecordID.zoneID.zoneName});
            completion(CKError{});
        },
        [completion] { completion(closed()); });
}

}  // namespace ravelong
