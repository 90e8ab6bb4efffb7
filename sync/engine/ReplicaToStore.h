#pragma once

#include <set>

#include "sync/SyncReplica.h"

namespace ravelong {

class ManagedObjectContext;

// Writes the replica's live values of some records into a context: a record the replica holds
// live is inserted or updated, one it deleted is deleted, relationships are resolved by name.
// Only values that differ are set, so writing a record that is already in step changes nothing.
//
// A record whose parent (a timing's task, a task's parent task) the replica does not know yet is
// held back: it stays as it is in the context and is returned, to be written again once the
// parent has arrived. A parent the replica deleted while a live record still points at it (one
// computer deleted a task while another timed it) comes back, so that no tracked time is lost;
// the next save sends it again as a live record. A link to a record that is missing (the next
// task of the chain) is left empty for the repairs. Timings are written with their day
// aggregates kept in step, and the aggregates they are in are rebuilt from their timings.
namespace replica_to_store {

struct Outcome {
    std::set<SyncReplica::RecordId> heldBack;
    std::size_t written = 0;  // records inserted, changed or deleted
};

Outcome write(const SyncReplica& replica, const std::set<SyncReplica::RecordId>& ids,
              ManagedObjectContext& context);

}  // namespace replica_to_store
}  // namespace ravelong
