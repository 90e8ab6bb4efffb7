#include "sync/engine/ChangeCapture.h"

#include "store/ManagedObjectContext.h"
#include "sync/engine/SyncedRecords.h"

namespace ravelong {

struct ChangeCapture::Batch {
    nlohmann::json changes = nlohmann::json::array();
    std::set<SyncReplica::RecordId> done;
};

std::uint64_t ChangeCapture::keyOf(const ManagedObject& object) {
    ObjectID id = object.objectID();
    return (static_cast<std::uint64_t>(id.entityIndex) << 56) ^
           static_cast<std::uint64_t>(id.primaryKey);
}

void ChangeCapture::learn(const ManagedObjectContext& context) {
    names_.clear();
    for (const EntityDescription* entity : synced_records::syncedEntities()) {
        for (ManagedObject* object : context.registeredObjects(*entity)) {
            if (auto name = synced_records::syncIdOf(*object))
                names_[keyOf(*object)] = *name;
        }
    }
}

void ChangeCapture::diff(const ManagedObject& object, Batch& batch) {
    auto id = synced_records::recordIdOf(object);
    if (!id || !batch.done.insert(*id).second)
        return;
    const SyncReplica::Record* known = replica_.record(*id);
    const bool live = replica_.isLive(*id);
    nlohmann::json set = nlohmann::json::object();
    for (const PropertyDescription* p : synced_records::syncedProperties(object.entity())) {
        nlohmann::json value = synced_records::encode(object, *p);
        if (live) {
            auto found = known->properties.find(p->name);
            if (found != known->properties.end() && found->second.value == value)
                continue;
        }
        set[p->name] = std::move(value);
    }
    if (!set.empty())
        batch.changes.push_back({{"entity", id->first}, {"uuid", id->second}, {"set", set}});
}

// The records whose travelling relationships point at `object` (they name it).
void ChangeCapture::diffRelated(const ManagedObject& object, Batch& batch) {
    for (const PropertyDescription& p : object.entity().properties) {
        if (!p.isRelationship() || !p.inverse || !p.destination ||
            !synced_records::isSynced(*p.destination))
            continue;
        const auto& travelling = synced_records::syncedProperties(*p.destination);
        bool named = false;
        for (const PropertyDescription* q : travelling)
            named = named || q == p.inverse;
        if (!named)
            continue;
        Value members = p.get(object);
        if (auto one = std::get_if<ManagedObject*>(&members); one && *one)
            diff(**one, batch);
        if (auto many = std::get_if<std::vector<ManagedObject*>>(&members)) {
            for (ManagedObject* member : *many)
                diff(*member, batch);
        }
    }
}

// A name that no live record of the context holds any more leaves the replica.
void ChangeCapture::forget(const ManagedObject& object, const std::string& name,
                           const ManagedObjectContext& context, Batch& batch) {
    SyncReplica::RecordId id{object.entity().name, name};
    if (!replica_.isLive(id) || batch.done.contains(id))
        return;
    if (ManagedObject* holder = synced_records::findRecord(context, object.entity(), name)) {
        diff(*holder, batch);
        return;
    }
    batch.done.insert(id);
    batch.changes.push_back({{"entity", id.first}, {"uuid", id.second}, {"delete", true}});
}

nlohmann::json ChangeCapture::changesOf(const ChangeSet& saved,
                                        const ManagedObjectContext& context) {
    Batch batch;
    auto present = [&](ManagedObject* object) {
        if (!synced_records::isSynced(object->entity()) || object->isDeleted())
            return;
        auto name = synced_records::syncIdOf(*object);
        std::uint64_t key = keyOf(*object);
        auto known = names_.find(key);
        if (known != names_.end() && (!name || known->second != *name)) {
            std::string old = known->second;
            names_.erase(known);
            forget(*object, old, context, batch);
            diffRelated(*object, batch);
        }
        if (!name)
            return;
        names_[key] = *name;
        diff(*object, batch);
    };
    for (ManagedObject* object : saved.inserted)
        present(object);
    for (const ChangedObject& changed : saved.updated)
        present(changed.object);
    for (ManagedObject* object : saved.deleted) {
        if (!synced_records::isSynced(object->entity()))
            continue;
        auto known = names_.find(keyOf(*object));
        std::optional<std::string> name;
        if (known != names_.end()) {
            name = known->second;
            names_.erase(known);
        } else {
            name = synced_records::syncIdOf(*object);
        }
        if (name)
            forget(*object, *name, context, batch);
    }
    return batch.changes;
}

nlohmann::json ChangeCapture::differences(const ManagedObjectContext& context,
                                          const std::set<SyncReplica::RecordId>& awaited) {
    Batch batch;
    learn(context);
    for (const EntityDescription* entity : synced_records::syncedEntities()) {
        for (ManagedObject* object : context.registeredObjects(*entity))
            diff(*object, batch);
    }
    for (const auto& [id, record] : replica_.records()) {
        if (batch.done.contains(id) || awaited.contains(id) || !replica_.isLive(id))
            continue;
        const EntityDescription* entity = synced_records::entityNamed(id.first);
        if (!entity || synced_records::findRecord(context, *entity, id.second))
            continue;
        batch.done.insert(id);
        batch.changes.push_back({{"entity", id.first}, {"uuid", id.second}, {"delete", true}});
    }
    return batch.changes;
}

std::set<SyncReplica::RecordId> ChangeCapture::recordsOf(const nlohmann::json& changes) {
    std::set<SyncReplica::RecordId> ids;
    for (const auto& change : changes)
        ids.insert({change["entity"].get<std::string>(), change["uuid"].get<std::string>()});
    return ids;
}

}  // namespace ravelong
