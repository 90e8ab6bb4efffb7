#include "sync/SyncReplica.h"

#include <algorithm>

#include "sync/SECloudFileSystem.h"

namespace ravelong {

bool SyncReplica::Record::isDeleted() const {
    if (!deletedAt)
        return false;
    return std::none_of(properties.begin(), properties.end(),
                        [&](const auto& p) { return p.second.key > *deletedAt; });
}

SyncReplica::SyncReplica(std::string deviceId) : deviceId_(std::move(deviceId)) {}

SyncOrderingKey SyncReplica::nextKey() {
    return {++lamport_, deviceId_};
}

Result<std::set<SyncReplica::RecordId>> SyncReplica::apply(const SyncEvent& event) {
    // Check every change first, so a bad one leaves the replica untouched.
    if (!event.changes.is_array())
        return makeSEError(kSEErrorDamagedFile, "An event holds no list of changes.");
    for (const auto& change : event.changes) {
        bool shaped = change.is_object() && change.contains("entity") &&
                      change["entity"].is_string() && change.contains("uuid") &&
                      change["uuid"].is_string() && !change["uuid"].get<std::string>().empty();
        bool sets = shaped && change.contains("set") && change["set"].is_object();
        bool deletes = shaped && change.contains("delete") && change["delete"] == true;
        if (sets == deletes)
            return makeSEError(kSEErrorDamagedFile,
                               "An event of " + event.key.deviceId + " holds a malformed change.");
    }
    lamport_ = std::max(lamport_, event.key.lamport);
    std::set<RecordId> touched;
    if (!applied_.insert(event.key).second)
        return touched;
    for (const auto& change : event.changes) {
        RecordId id{change["entity"].get<std::string>(), change["uuid"].get<std::string>()};
        Record& record = records_[id];
        touched.insert(id);
        if (change.contains("delete")) {
            if (!record.deletedAt || *record.deletedAt < event.key)
                record.deletedAt = event.key;
            continue;
        }
        for (const auto& [name, value] : change["set"].items()) {
            auto found = record.properties.find(name);
            if (found == record.properties.end() || found->second.key < event.key)
                record.properties[name] = Property{value, event.key};
        }
    }
    return touched;
}

void SyncReplica::restoreRecord(RecordId id, Record record) {
    for (const auto& [name, property] : record.properties)
        lamport_ = std::max(lamport_, property.key.lamport);
    if (record.deletedAt)
        lamport_ = std::max(lamport_, record.deletedAt->lamport);
    records_[std::move(id)] = std::move(record);
}

void SyncReplica::restoreApplied(const SyncOrderingKey& key) {
    lamport_ = std::max(lamport_, key.lamport);
    applied_.insert(key);
}

bool SyncReplica::mergeRecord(const RecordId& id, const Record& other) {
    Record& record = records_[id];
    bool changed = false;
    for (const auto& [name, property] : other.properties) {
        lamport_ = std::max(lamport_, property.key.lamport);
        auto found = record.properties.find(name);
        if (found == record.properties.end() || found->second.key < property.key) {
            record.properties[name] = property;
            changed = true;
        }
    }
    if (other.deletedAt) {
        lamport_ = std::max(lamport_, other.deletedAt->lamport);
        if (!record.deletedAt || *record.deletedAt < *other.deletedAt) {
            record.deletedAt = other.deletedAt;
            changed = true;
        }
    }
    return changed;
}

namespace {

nlohmann::json keyJson(const SyncOrderingKey& key) {
    return nlohmann::json::array({key.lamport, key.deviceId});
}

std::optional<SyncOrderingKey> keyFrom(const nlohmann::json& j) {
    if (!j.is_array() || j.size() != 2 || !j[0].is_number_unsigned() || !j[1].is_string())
        return std::nullopt;
    return SyncOrderingKey{j[0].get<std::uint64_t>(), j[1].get<std::string>()};
}

}  // namespace

nlohmann::json SyncReplica::recordToJson(const Record& record) {
    nlohmann::json properties = nlohmann::json::object();
    for (const auto& [name, property] : record.properties)
        properties[name] = {property.value, property.key.lamport, property.key.deviceId};
    nlohmann::json body = {{"p", properties}};
    if (record.deletedAt)
        body["d"] = keyJson(*record.deletedAt);
    return body;
}

std::optional<SyncReplica::Record> SyncReplica::recordFromJson(const nlohmann::json& body) {
    if (!body.is_object() || !body.contains("p") || !body["p"].is_object())
        return std::nullopt;
    Record record;
    for (const auto& [name, entry] : body["p"].items()) {
        if (!entry.is_array() || entry.size() != 3)
            return std::nullopt;
        auto key = keyFrom(nlohmann::json::array({entry[1], entry[2]}));
        if (!key)
            return std::nullopt;
        record.properties[name] = Property{entry[0], *key};
    }
    if (body.contains("d")) {
        record.deletedAt = keyFrom(body["d"]);
        if (!record.deletedAt)
            return std::nullopt;
    }
    return record;
}

std::map<SyncReplica::RecordId, std::map<std::string, nlohmann::json>> SyncReplica::liveValues()
    const {
    std::map<RecordId, std::map<std::string, nlohmann::json>> out;
    for (const auto& [id, record] : records_) {
        if (record.isDeleted())
            continue;
        auto& values = out[id];
        for (const auto& [name, property] : record.properties)
            values[name] = property.value;
    }
    return out;
}

}  // namespace ravelong
