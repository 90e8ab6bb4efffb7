#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <unordered_map>

#include "store/ChangeSet.h"
#include "sync/SyncReplica.h"

namespace ravelong {

class ManagedObject;
class ManagedObjectContext;

// Turns saves of the store into replica changes (the "changes" of a SyncEvent).
//
// A change names only what differs from the replica: a value the replica already holds is not
// sent again. That is what keeps the engine from echoing: the records a merge writes into the
// store carry the replica's values, so saving them produces no change, while whatever the user
// (or a repair) changed in the same save still does.
//
// The capture remembers the name each record had, so a record whose uuid changes (a repair
// telling apart two tasks that shared one) leaves as a deletion of the old name and arrives as a
// new record, and the records pointing at it are sent again with the new name.
class ChangeCapture {
public:
    explicit ChangeCapture(const SyncReplica& replica) : replica_(replica) {}

    // Learns the names of the synced records of `context` as they are now.
    void learn(const ManagedObjectContext& context);
    // The changes of one save of `context`; an empty array when nothing differs.
    nlohmann::json changesOf(const ChangeSet& saved, const ManagedObjectContext& context);
    // Every difference between `context` and the replica: records the replica lacks or holds
    // other values for, and deletions of the replica's live records the context lacks, except
    // those in `awaited` (records the engine has not written into the store yet, or holds back).
    nlohmann::json differences(const ManagedObjectContext& context,
                               const std::set<SyncReplica::RecordId>& awaited);

    // The records named in `changes`.
    static std::set<SyncReplica::RecordId> recordsOf(const nlohmann::json& changes);

private:
    struct Batch;
    void diff(const ManagedObject& object, Batch& batch);
    void diffRelated(const ManagedObject& object, Batch& batch);
    void forget(const ManagedObject& object, const std::string& name,
                const ManagedObjectContext& context, Batch& batch);
    static std::uint64_t keyOf(const ManagedObject& object);

    const SyncReplica& replica_;
    std::unordered_map<std::uint64_t, std::string> names_;
};

}  // namespace ravelong
