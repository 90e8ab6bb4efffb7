#include "sync/engine/InitialMergeConflicts.h"

#include <map>

#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "store/ManagedObjectContext.h"
#include "sync/ZRMergeConflictMessage.h"
#include "sync/engine/SyncedRecords.h"

namespace ravelong::initial_merge_conflicts {

namespace {

struct Asked {
    const char* entity;
    const char* property;
    const char* key;
};

// The properties asked about and the conflict text each belongs to; a timing's start and end
// make one question about its date and duration.
constexpr Asked kAsked[] = {
    {"ZRCDTask", "taskName", "taskName"},
    {"ZRCDTask", "taskDescription", "taskDescription"},
    {"ZRCDTask", "taskColor", "taskColor"},
    {"ZRCDTask", "parentTask", "parentTask"},
    {"ZRCDTask", "date", "date"},
    {"ZRCDTask", "isArchived", "isArchived"},
    {"ZRCDTask", "rounding", "rounding"},
    {"ZRCDTiming", "startDate", "date"},
    {"ZRCDTiming", "endDate", "date"},
    {"ZRCDTiming", "note", "note"},
    {"ZRCDTiming", "task", "task"},
    {"ZRCDTiming", "timezone", "timezone"},
    {"ZRCDTiming", "newDayOffset", "newDay"},
    {"ZRCDTiming", "billing", "billing"},
};

bool sameJson(const nlohmann::json& a, const nlohmann::json& b) {
    if (a.is_number() && b.is_number())
        return a.get<double>() == b.get<double>();
    return a == b;
}

ManagedObject* recordIn(const ManagedObjectContext& context, const SyncReplica::RecordId& id) {
    const EntityDescription* entity = synced_records::entityNamed(id.first);
    return entity ? synced_records::findRecord(context, *entity, id.second) : nullptr;
}

}  // namespace

std::vector<Conflict> find(const SyncReplica& replica, const CloudValues& cloud,
                           const ManagedObjectContext& local) {
    std::vector<Conflict> conflicts;
    for (const auto& [id, values] : cloud) {
        if (!replica.isLive(id))
            continue;
        ManagedObject* object = recordIn(local, id);
        if (!object)
            continue;
        std::map<std::string, Conflict> byKey;  // one question per text, in a stable order
        for (const Asked& asked : kAsked) {
            if (id.first != asked.entity)
                continue;
            auto value = values.find(asked.property);
            const PropertyDescription* property = object->entity().property(asked.property);
            if (value == values.end() || !property)
                continue;
            if (sameJson(synced_records::encode(*object, *property), value->second))
                continue;
            Conflict& conflict = byKey[asked.key];
            conflict.id = id;
            conflict.key = asked.key;
            conflict.properties.push_back(asked.property);
        }
        for (auto& [key, conflict] : byKey)
            conflicts.push_back(std::move(conflict));
    }
    return conflicts;
}

nlohmann::json cloudFirst(const std::vector<Conflict>& conflicts, const SyncReplica& replica,
                          const CloudValues& cloud) {
    nlohmann::json changes = nlohmann::json::array();
    for (const Conflict& conflict : conflicts) {
        const SyncReplica::Record* record = replica.record(conflict.id);
        const auto& values = cloud.at(conflict.id);
        nlohmann::json set = nlohmann::json::object();
        for (const std::string& name : conflict.properties) {
            auto held = record->properties.find(name);
            if (held == record->properties.end() || !sameJson(held->second.value, values.at(name)))
                set[name] = values.at(name);
        }
        if (!set.empty())
            changes.push_back(
                {{"entity", conflict.id.first}, {"uuid", conflict.id.second}, {"set", set}});
    }
    return changes;
}

std::string messageFor(const Conflict& conflict, const ManagedObjectContext& cloud,
                       const ManagedObjectContext& local) {
    const ManagedObject* cloudObject = recordIn(cloud, conflict.id);
    const ManagedObject* localObject = recordIn(local, conflict.id);
    ZRMergeConflictMessage::Value value;
    if (localObject && conflict.id.first == "ZRCDTask") {
        const auto* task = static_cast<const ZRCDTask*>(localObject);
        if (conflict.key == "taskName")
            value = task->taskName().value_or("");
        else if (conflict.key == "isArchived")
            value = task->isArchived();
        else if (conflict.key == "parentTask" && task->parentTask() && task->parentTask()->uuid())
            value = *task->parentTask()->uuid();
    } else if (localObject && conflict.key == "task") {
        // The local task is named as this computer names it.
        if (const ZRCDTask* task = static_cast<const ZRCDTiming*>(localObject)->task())
            value = task;
    }
    return ZRMergeConflictMessage::getMergeConflictMessageForObject(cloudObject, conflict.key,
                                                                    value);
}

nlohmann::json keepLocal(const Conflict& conflict, const ManagedObjectContext& local) {
    nlohmann::json set = nlohmann::json::object();
    if (const ManagedObject* object = recordIn(local, conflict.id)) {
        for (const std::string& name : conflict.properties) {
            if (const PropertyDescription* property = object->entity().property(name))
                set[name] = synced_records::encode(*object, *property);
        }
    }
    return {{"entity", conflict.id.first}, {"uuid", conflict.id.second}, {"set", set}};
}

}  // namespace ravelong::initial_merge_conflicts
