#pragma once

#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "sync/SyncReplica.h"

namespace ravelong {

class ManagedObjectContext;

// When a computer that already holds records joins a cloud holding the same records (a store
// copied to a second computer, a restored backup), a property both sides changed is a question
// for the user rather than for the ordering key: which value is kept, the cloud's or this
// computer's. Only what the user sees and edits is asked about; bookkeeping (stamps, the display
// chain, visibility flags) and records other than tasks and timings follow the ordering key.
namespace initial_merge_conflicts {

struct Conflict {
    SyncReplica::RecordId id;
    std::string key;                      // the conflict text's key ("taskName", "date", ...)
    std::vector<std::string> properties;  // the record's properties it covers
};

using CloudValues = std::map<SyncReplica::RecordId, std::map<std::string, nlohmann::json>>;

// The properties that the store (`local`, not yet written by the merge) holds with another value
// than the cloud, for records live in `replica`, in record order.
std::vector<Conflict> find(const SyncReplica& replica, const CloudValues& cloud,
                           const ManagedObjectContext& local);

// The changes that make the replica hold the cloud's values of the conflicts where it holds
// others (an edit made here before the first merge outranks the cloud's); empty when it holds
// them all.
nlohmann::json cloudFirst(const std::vector<Conflict>& conflicts, const SyncReplica& replica,
                          const CloudValues& cloud);

// The text of a conflict; `cloud` holds the records with the cloud's values written.
std::string messageFor(const Conflict& conflict, const ManagedObjectContext& cloud,
                       const ManagedObjectContext& local);

// The change (one element of an event's changes) setting the conflict's properties to the
// values `local` holds.
nlohmann::json keepLocal(const Conflict& conflict, const ManagedObjectContext& local);

}  // namespace initial_merge_conflicts
}  // namespace ravelong
