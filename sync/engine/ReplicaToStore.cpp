#include "sync/engine/ReplicaToStore.h"

#include <map>

#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/model/ZRCDTimingSet.h"
#include "core/repairs/TimingSetRepairs.h"
#include "store/ManagedObjectContext.h"
#include "sync/engine/SyncedRecords.h"

namespace ravelong::replica_to_store {

namespace {

using RecordId = SyncReplica::RecordId;
using Values = std::map<std::string, nlohmann::json>;

const std::string kTaskEntity = "ZRCDTask";
const std::string kTimingEntity = "ZRCDTiming";

// The values a record has in the replica, also for one it deleted (used when it comes back).
Values valuesOf(const SyncReplica& replica, const RecordId& id) {
    Values values;
    if (const SyncReplica::Record* record = replica.record(id)) {
        for (const auto& [name, property] : record->properties)
            values[name] = property.value;
    }
    return values;
}

// The parent a record cannot do without: a timing's task (a timing without one counts nowhere)
// and a task's parent task when it has one.
std::optional<std::optional<std::string>> requiredParent(const RecordId& id, const Values& values) {
    const char* key = id.first == kTimingEntity ? "task"
                      : id.first == kTaskEntity ? "parentTask"
                                                : nullptr;
    if (!key)
        return std::nullopt;
    auto found = values.find(key);
    if (found == values.end() || !found->second.is_string())
        return std::optional<std::string>();
    return std::optional<std::string>(found->second.get<std::string>());
}

// Whether the replica holds the event that made the record: a record known only from a later
// change of some of its properties (the first event is still on its way) cannot be made yet.
bool madeIn(const SyncReplica& replica, const RecordId& id) {
    const SyncReplica::Record* record = replica.record(id);
    if (!record)
        return false;
    const char* identity = id.first == "ZRCDOrigin" ? "uid" : "uuid";
    return record->properties.contains(identity);
}

enum class Fate { Put, Remove, Hold };

class Planner {
public:
    Planner(const SyncReplica& replica, const ManagedObjectContext& context)
        : replica_(replica), context_(context) {}

    Fate fateOf(const RecordId& id, int depth = 0) {
        if (auto known = fates_.find(id); known != fates_.end())
            return known->second;
        // A loop of parents (two computers each made the other task the parent) is broken by
        // the chain repair; here it only must not recurse for ever.
        if (depth > 8)
            return Fate::Put;
        Fate fate = decide(id, depth);
        fates_[id] = fate;
        return fate;
    }

    const std::map<RecordId, Fate>& fates() const { return fates_; }

private:
    Fate decide(const RecordId& id, int depth) {
        bool live = replica_.isLive(id) || revived_.contains(id);
        if (!live && id.first == kTaskEntity && stillNeeded(id)) {
            revived_.insert(id);
            live = true;
        }
        if (!live)
            return Fate::Remove;
        if (!madeIn(replica_, id) &&
            !synced_records::findRecord(context_, *synced_records::entityNamed(id.first),
                                        id.second))
            return Fate::Hold;
        const Values values = valuesOf(replica_, id);
        auto parent = requiredParent(id, values);
        if (!parent)
            return Fate::Put;
        if (!*parent)
            return id.first == kTimingEntity ? Fate::Hold : Fate::Put;
        RecordId parentId{kTaskEntity, **parent};
        if (!madeIn(replica_, parentId) &&
            !synced_records::findRecord(context_, ZRCDTask::entityDescription(), parentId.second))
            return Fate::Hold;  // not arrived yet
        if (!replica_.isLive(parentId)) {
            revived_.insert(parentId);
            fates_.erase(parentId);
        }
        return fateOf(parentId, depth + 1) == Fate::Hold ? Fate::Hold : Fate::Put;
    }

    // A task the replica deleted still holds a live timing or subtask that names it as its
    // own: one computer deleted it while another was adding to it.
    bool stillNeeded(const RecordId& id) {
        auto* task = static_cast<ZRCDTask*>(
            synced_records::findRecord(context_, ZRCDTask::entityDescription(), id.second));
        if (!task)
            return false;
        auto namesIt = [&](const ManagedObject& member, const char* key) {
            auto memberId = synced_records::recordIdOf(member);
            if (!memberId || !replica_.isLive(*memberId))
                return false;
            Values values = valuesOf(replica_, *memberId);
            auto found = values.find(key);
            return found != values.end() && found->second == id.second;
        };
        for (ZRCDTiming* timing : task->timings()) {
            if (namesIt(*timing, "task"))
                return true;
        }
        for (ZRCDTask* child : task->childTasks()) {
            if (namesIt(*child, "parentTask"))
                return true;
        }
        return false;
    }

    const SyncReplica& replica_;
    const ManagedObjectContext& context_;
    std::map<RecordId, Fate> fates_;
    std::set<RecordId> revived_;
};

bool sameValue(const Value& a, const Value& b) {
    if (a == b)
        return true;
    // Integers and doubles meet when a whole-number double travelled as an integer.
    auto number = [](const Value& v) -> std::optional<double> {
        if (auto i = std::get_if<std::int64_t>(&v))
            return static_cast<double>(*i);
        if (auto d = std::get_if<double>(&v))
            return *d;
        return std::nullopt;
    };
    auto x = number(a), y = number(b);
    return x && y && *x == *y;
}

// The record's name comes from the replica's record, never from a value in it: an event that
// names one uuid and sets another must not make a second record each time it is written.
void writeAttributes(ManagedObject& object, const RecordId& id, const Values& values) {
    const PropertyDescription* uuid = object.entity().property("uuid");
    if (uuid && !uuid->isRelationship() && !sameValue(uuid->get(object), Value(id.second)))
        object.setValueForKey(uuid->name, Value(id.second));
    for (const PropertyDescription* p : synced_records::syncedProperties(object.entity())) {
        if (p->isRelationship() || p == uuid)
            continue;
        auto found = values.find(p->name);
        if (found == values.end())
            continue;
        auto value = synced_records::decodeAttribute(*p, found->second);
        if (value && !sameValue(p->get(object), *value))
            object.setValueForKey(p->name, *value);
    }
}

void writeRelationships(ManagedObject& object, const Values& values,
                        const ManagedObjectContext& context) {
    for (const PropertyDescription* p : synced_records::syncedProperties(object.entity())) {
        if (!p->isRelationship())
            continue;
        auto found = values.find(p->name);
        if (found == values.end())
            continue;
        if (p->kind == PropertyKind::ToOne) {
            ManagedObject* target =
                found->second.is_string()
                    ? synced_records::findRecord(context, *p->destination,
                                                 found->second.get<std::string>())
                    : nullptr;
            if (p->toOne(object) != target)
                object.setValueForKey(p->name, Value(target));
            continue;
        }
        if (!found->second.is_array())
            continue;
        std::vector<ManagedObject*> members;
        for (const auto& name : found->second) {
            if (!name.is_string())
                continue;
            if (ManagedObject* member =
                    synced_records::findRecord(context, *p->destination, name.get<std::string>()))
                members.push_back(member);
        }
        ObjectSet& current = p->toMany(object);
        bool same = current.size() == members.size();
        for (ManagedObject* member : members)
            same = same && current.contains(member);
        if (!same)
            object.setValueForKey(p->name, Value(members));
    }
}

}  // namespace

Outcome write(const SyncReplica& replica, const std::set<RecordId>& ids,
              ManagedObjectContext& context) {
    Outcome outcome;
    Planner planner(replica, context);
    for (const RecordId& id : ids) {
        if (synced_records::entityNamed(id.first))
            planner.fateOf(id);
    }
    // Records to write, in the order of the synced entities (origins and tasks before timings).
    std::map<RecordId, Fate> fates = planner.fates();
    std::vector<std::pair<ManagedObject*, Values>> put;
    std::set<ZRCDTask*> timedTasks;
    for (const EntityDescription* entity : synced_records::syncedEntities()) {
        for (const auto& [id, fate] : fates) {
            if (id.first != entity->name)
                continue;
            if (fate == Fate::Hold) {
                outcome.heldBack.insert(id);
                continue;
            }
            if (fate != Fate::Put)
                continue;
            ManagedObject* object = synced_records::findRecord(context, *entity, id.second);
            const bool inserted = !object;
            if (inserted)
                object = context.insertNewObject(*entity);
            Values values = valuesOf(replica, id);
            writeAttributes(*object, id, values);
            if (synced_records::syncIdOf(*object) != id.second) {
                // An origin whose values name another origin than its record: not written.
                if (inserted)
                    context.deleteObject(object);
                continue;
            }
            put.emplace_back(object, std::move(values));
        }
    }
    for (auto& [object, values] : put) {
        if (&object->entity() == &ZRCDTiming::entityDescription()) {
            auto* timing = static_cast<ZRCDTiming*>(object);
            if (timing->task())
                timedTasks.insert(timing->task());
        }
        writeRelationships(*object, values, context);
        if (object->hasChanges())
            ++outcome.written;
        if (&object->entity() == &ZRCDTiming::entityDescription()) {
            auto* timing = static_cast<ZRCDTiming*>(object);
            if (timing->task())
                timedTasks.insert(timing->task());
        }
    }
    // Deletions: timings first (with their aggregates), then the rest.
    std::vector<ManagedObject*> removed;
    for (const auto& [id, fate] : fates) {
        if (fate != Fate::Remove)
            continue;
        const EntityDescription* entity = synced_records::entityNamed(id.first);
        if (ManagedObject* object = synced_records::findRecord(context, *entity, id.second))
            removed.push_back(object);
    }
    for (ManagedObject* object : removed) {
        if (&object->entity() != &ZRCDTiming::entityDescription())
            continue;
        auto* timing = static_cast<ZRCDTiming*>(object);
        if (timing->task())
            timedTasks.insert(timing->task());
        ZRCDTiming::deleteTimingAndUpdateTimingSets(timing, context);
        ++outcome.written;
    }
    for (ManagedObject* object : removed) {
        if (&object->entity() == &ZRCDTiming::entityDescription())
            continue;
        if (&object->entity() == &ZRCDTask::entityDescription()) {
            auto* task = static_cast<ZRCDTask*>(object);
            timedTasks.erase(task);
            for (ZRCDTimingSet* set : task->timingSets().toVector())
                context.deleteObject(set);
        }
        context.deleteObject(object);
        ++outcome.written;
    }
    // Assigning a timing stamps its task as updated now; the task keeps the replica's stamp, so
    // that a merge does not send every timed task back as a change of this computer.
    const PropertyDescription* updatedDate = ZRCDTask::entityDescription().property("updatedDate");
    for (ZRCDTask* task : timedTasks) {
        if (task->isDeleted())
            continue;
        auto id = synced_records::recordIdOf(*task);
        if (!id || !replica.isLive(*id))
            continue;
        Values values = valuesOf(replica, *id);
        auto found = values.find(updatedDate->name);
        if (found == values.end())
            continue;
        auto value = synced_records::decodeAttribute(*updatedDate, found->second);
        if (value && !sameValue(updatedDate->get(*task), *value))
            task->setValueForKey(updatedDate->name, *value);
    }
    // The aggregates of the written timings, rebuilt from their timings, with several of one
    // task and day merged into one. (Those the timings left were recalculated or deleted as they
    // left them.) Found through the timings' tasks, not the day, so that no index over every
    // aggregate of the store is built.
    std::map<ZRCDTask*, std::set<std::int32_t>> taskDays;
    for (const auto& [object, values] : put) {
        if (&object->entity() != &ZRCDTiming::entityDescription() || object->isDeleted())
            continue;
        for (ZRCDTimingSet* set : static_cast<ZRCDTiming*>(object)->timingSets()) {
            if (set->task())
                taskDays[set->task()].insert(set->absDay());
        }
    }
    for (const auto& [task, wanted] : taskDays) {
        std::map<std::int32_t, std::vector<ZRCDTimingSet*>> byDay;
        for (ZRCDTimingSet* set : task->timingSets()) {
            if (wanted.contains(set->absDay()))
                byDay[set->absDay()].push_back(set);
        }
        for (auto& [day, sets] : byDay) {
            std::vector<ZRCDTimingSet*> group;
            for (ZRCDTimingSet* set : sets) {
                if (set->timings().empty()) {
                    context.deleteObject(set);
                    continue;
                }
                set->recalculateDuration();
                group.push_back(set);
            }
            store_repairs::fixGroupOfTimingSetsOnSameAbsDay(group, context);
        }
    }
    return outcome;
}

}  // namespace ravelong::replica_to_store
