#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "store/ManagedObject.h"
#include "sync/SyncReplica.h"

namespace ravelong {

class ManagedObjectContext;

// Which records travel between computers and how their properties read as JSON.
//
// Tasks, timings, origins, the preferences and the export preferences travel; day aggregates
// never do (every computer derives them). A record is named by its uuid; an origin, which has
// none, by its device, user and type (ZRCDOrigin::uuid), the triple the origin repair merges on.
// Every attribute travels; a relationship travels when the store keeps it on this side and its
// destination travels too, as the name of the record it points to (a to-one) or the sorted names
// (a many-to-many).
namespace synced_records {

bool isSynced(const EntityDescription& entity);
// The synced entities, origins first and then tasks, so that records can be made before the
// records that point to them.
const std::vector<const EntityDescription*>& syncedEntities();
const EntityDescription* entityNamed(const std::string& name);
// The properties of a synced entity that travel.
const std::vector<const PropertyDescription*>& syncedProperties(const EntityDescription& entity);

// The name of a record in the replica; nullopt when it has none yet (a task without uuid).
std::optional<std::string> syncIdOf(const ManagedObject& object);
std::optional<SyncReplica::RecordId> recordIdOf(const ManagedObject& object);

// A property of a record as it travels.
nlohmann::json encode(const ManagedObject& object, const PropertyDescription& property);
// Every travelling property of a record.
nlohmann::json encodeAll(const ManagedObject& object);

// A travelling attribute value read back; nullopt when the JSON has the wrong type for the
// attribute (a hostile or damaged event), which the caller skips.
std::optional<Value> decodeAttribute(const PropertyDescription& property,
                                     const nlohmann::json& value);

// The live record of `context` named `syncId`, or nullptr.
ManagedObject* findRecord(const ManagedObjectContext& context, const EntityDescription& entity,
                          const std::string& syncId);

}  // namespace synced_records
}  // namespace ravelong
