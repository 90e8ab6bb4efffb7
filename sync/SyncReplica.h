#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>

#include "foundation/Error.h"
#include "sync/SyncEventFile.h"

namespace ravelong {

// The merged view of every event one computer has seen, property by property. Each property
// keeps the value of the event with the greatest ordering key that set it, so concurrent changes
// to different properties of one record both survive and the same property resolves the same
// way everywhere. A deletion hides the record only while no property was set by a later event:
// an edit made after (or unaware of) a deletion brings the record back whole, so nothing a user
// entered is lost to a race.
//
// Applying is commutative and idempotent: the same events in any order, any number of times,
// give the same records. Changes are a JSON array of
//     {"entity": "ZRCDTiming", "uuid": "...", "set": {"note": "...", ...}}
//     {"entity": "ZRCDTiming", "uuid": "...", "delete": true}
class SyncReplica {
public:
    struct Property {
        nlohmann::json value;
        SyncOrderingKey key;
        bool operator==(const Property&) const = default;
    };
    struct Record {
        std::map<std::string, Property> properties;
        std::optional<SyncOrderingKey> deletedAt;
        bool isDeleted() const;
        bool operator==(const Record&) const = default;
    };
    using RecordId = std::pair<std::string, std::string>;  // entity, uuid

    explicit SyncReplica(std::string deviceId);
    const std::string& deviceId() const { return deviceId_; }

    // Applies an event whole, or (for a change of the wrong shape) not at all and says why.
    // Returns the records it touched.
    Result<std::set<RecordId>> apply(const SyncEvent& event);
    bool hasApplied(const SyncOrderingKey& key) const { return applied_.contains(key); }

    // The key for this computer's next event: greater than every key seen so far.
    SyncOrderingKey nextKey();

    const std::map<RecordId, Record>& records() const { return records_; }
    const Record* record(const RecordId& id) const {
        auto found = records_.find(id);
        return found == records_.end() ? nullptr : &found->second;
    }
    // Whether a record has values and is not deleted.
    bool isLive(const RecordId& id) const {
        const Record* found = record(id);
        return found && !found->properties.empty() && !found->isDeleted();
    }
    const std::set<SyncOrderingKey>& appliedKeys() const { return applied_; }

    // Puts back a record and the applied events as they were saved; the clock follows them.
    void restoreRecord(RecordId id, Record record);
    void restoreApplied(const SyncOrderingKey& key);
    // Takes in a record as another replica holds it (from a baseline): each property keeps the
    // value of the greater key, and so does the deletion; the result is the same as having
    // applied the events behind both. True when anything here changed.
    bool mergeRecord(const RecordId& id, const Record& other);

    // A record with its values and keys as JSON, and back (nullopt for a malformed one):
    //     {"p": {"name": [value, lamport, "device"], ...}, "d": [lamport, "device"]}
    static nlohmann::json recordToJson(const Record& record);
    static std::optional<Record> recordFromJson(const nlohmann::json& body);

    // The live records' property values only (what a store would hold).
    std::map<RecordId, std::map<std::string, nlohmann::json>> liveValues() const;

private:
    std::string deviceId_;
    std::uint64_t lamport_ = 0;
    std::map<RecordId, Record> records_;
    std::set<SyncOrderingKey> applied_;
};

}  // namespace ravelong
