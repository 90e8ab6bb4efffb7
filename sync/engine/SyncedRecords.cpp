#include "sync/engine/SyncedRecords.h"

#include <algorithm>
#include <cmath>

#include "core/model/RavelongModel.h"
#include "core/model/ZRCDExportPreferences.h"
#include "core/model/ZRCDOrigin.h"
#include "core/model/ZRCDPreferences.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "foundation/Base64.h"
#include "store/ManagedObjectContext.h"

namespace ravelong::synced_records {

namespace {

int uuidIndex(const EntityDescription& entity) {
    const PropertyDescription* uuid = entity.property("uuid");
    return uuid && !uuid->isRelationship() ? uuid->index : -1;
}

nlohmann::json encodeAttribute(const Value& value) {
    if (auto i = std::get_if<std::int64_t>(&value))
        return *i;
    if (auto d = std::get_if<double>(&value)) {
        // JSON has no room for infinities or NaN; a record holding one travels without it.
        return std::isfinite(*d) ? nlohmann::json(*d) : nlohmann::json();
    }
    if (auto s = std::get_if<std::string>(&value))
        return *s;
    if (auto data = std::get_if<Data>(&value))
        return base64::encode(*data);
    return nullptr;
}

template <class T>
ManagedObject* firstWithUuid(const ManagedObjectContext& context, const std::string& uuid) {
    return context.firstObjectWithValue<T>(T::kUuid, Value(uuid));
}

}  // namespace

const std::vector<const EntityDescription*>& syncedEntities() {
    static const std::vector<const EntityDescription*> entities = {
        &ZRCDOrigin::entityDescription(), &ZRCDTask::entityDescription(),
        &ZRCDTiming::entityDescription(), &ZRCDPreferences::entityDescription(),
        &ZRCDExportPreferences::entityDescription()};
    return entities;
}

bool isSynced(const EntityDescription& entity) {
    const auto& all = syncedEntities();
    return std::find(all.begin(), all.end(), &entity) != all.end();
}

const EntityDescription* entityNamed(const std::string& name) {
    for (const EntityDescription* entity : syncedEntities()) {
        if (entity->name == name)
            return entity;
    }
    return nullptr;
}

const std::vector<const PropertyDescription*>& syncedProperties(const EntityDescription& entity) {
    static const auto table = [] {
        (void)ravelongModel();  // resolves the relationships' destinations
        std::vector<std::vector<const PropertyDescription*>> byEntity;
        for (const EntityDescription* e : syncedEntities()) {
            std::vector<const PropertyDescription*> list;
            for (const PropertyDescription& p : e->properties) {
                bool travels = p.kind == PropertyKind::Attribute ||
                               (p.persisted && p.destination && isSynced(*p.destination) &&
                                (p.kind == PropertyKind::ToOne || p.isManyToMany()));
                if (travels)
                    list.push_back(&p);
            }
            byEntity.push_back(std::move(list));
        }
        return byEntity;
    }();
    static const std::vector<const PropertyDescription*> none;
    const auto& all = syncedEntities();
    auto found = std::find(all.begin(), all.end(), &entity);
    return found == all.end() ? none : table[static_cast<std::size_t>(found - all.begin())];
}

std::optional<std::string> syncIdOf(const ManagedObject& object) {
    if (&object.entity() == &ZRCDOrigin::entityDescription())
        return static_cast<const ZRCDOrigin&>(object).uuid();
    int index = uuidIndex(object.entity());
    if (index < 0)
        return std::nullopt;
    auto uuid = value_conversion::fromValue<std::optional<std::string>>(
        object.entity().properties[static_cast<std::size_t>(index)].get(object));
    if (!uuid || uuid->empty())
        return std::nullopt;
    return uuid;
}

std::optional<SyncReplica::RecordId> recordIdOf(const ManagedObject& object) {
    if (!isSynced(object.entity()))
        return std::nullopt;
    auto id = syncIdOf(object);
    if (!id)
        return std::nullopt;
    return SyncReplica::RecordId{object.entity().name, *id};
}

nlohmann::json encode(const ManagedObject& object, const PropertyDescription& property) {
    switch (property.kind) {
        case PropertyKind::Attribute:
            return encodeAttribute(property.get(object));
        case PropertyKind::ToOne: {
            ManagedObject* target = property.toOne(object);
            auto id = target ? syncIdOf(*target) : std::nullopt;
            return id ? nlohmann::json(*id) : nlohmann::json();
        }
        case PropertyKind::ToMany: {
            std::vector<std::string> ids;
            for (ManagedObject* member : property.toMany(const_cast<ManagedObject&>(object))) {
                if (auto id = syncIdOf(*member))
                    ids.push_back(*id);
            }
            std::sort(ids.begin(), ids.end());
            ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
            return ids;
        }
    }
    return nullptr;
}

nlohmann::json encodeAll(const ManagedObject& object) {
    nlohmann::json values = nlohmann::json::object();
    for (const PropertyDescription* p : syncedProperties(object.entity()))
        values[p->name] = encode(object, *p);
    return values;
}

std::optional<Value> decodeAttribute(const PropertyDescription& property,
                                     const nlohmann::json& value) {
    if (value.is_null())
        return Value();
    switch (property.type) {
        case AttributeType::Bool:
        case AttributeType::Int16:
        case AttributeType::Int32:
        case AttributeType::Int64:
            if (value.is_number_integer())
                return Value(value.get<std::int64_t>());
            return std::nullopt;
        case AttributeType::Double:
        case AttributeType::Date:
            if (value.is_number())
                return Value(value.get<double>());
            return std::nullopt;
        case AttributeType::String:
            if (value.is_string())
                return Value(value.get<std::string>());
            return std::nullopt;
        case AttributeType::Data:
            if (value.is_string()) {
                if (auto bytes = base64::decode(value.get<std::string>()))
                    return Value(std::move(*bytes));
            }
            return std::nullopt;
    }
    return std::nullopt;
}

ManagedObject* findRecord(const ManagedObjectContext& context, const EntityDescription& entity,
                          const std::string& syncId) {
    if (&entity == &ZRCDOrigin::entityDescription()) {
        // "udid//uid//type": look up by udid, then compare the whole name.
        auto cut = syncId.find("//");
        std::string udid = cut == std::string::npos ? syncId : syncId.substr(0, cut);
        Value key = udid.empty() ? Value() : Value(udid);
        for (ZRCDOrigin* origin : context.objectsWithValue<ZRCDOrigin>(ZRCDOrigin::kUdid, key)) {
            if (origin->uuid() == syncId)
                return origin;
        }
        return nullptr;
    }
    if (&entity == &ZRCDTask::entityDescription())
        return firstWithUuid<ZRCDTask>(context, syncId);
    if (&entity == &ZRCDTiming::entityDescription())
        return firstWithUuid<ZRCDTiming>(context, syncId);
    if (&entity == &ZRCDPreferences::entityDescription())
        return firstWithUuid<ZRCDPreferences>(context, syncId);
    if (&entity == &ZRCDExportPreferences::entityDescription())
        return firstWithUuid<ZRCDExportPreferences>(context, syncId);
    return nullptr;
}

}  // namespace ravelong::synced_records
