#pragma once

#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "store/ManagedObject.h"

namespace ravelong {

// What a child context hands its parent when it saves, with records named by ObjectID so the
// parent can resolve them in its own graph. Only the stored side of each relationship travels;
// the parent keeps the inverses itself.
//
// To-one relationships travel as the child's final value of each one the child changed, never as
// "from -> to" pairs: setting one link moves others through the inverses (A.next = C also clears
// B.next when C followed B), so a pair's "from" is stale by the time the parent gets to it.
// Setting every changed link to its final value gives the child's graph whatever the order.
struct ChildChanges {
    struct AttributeChange {
        int propertyIndex;
        Value original;  // as the child first saw it
        Value value;
    };
    // A value of a record new in the child, when it differs from the value a record just made
    // has (most records leave many attributes at that value; a bulk import makes many records).
    struct AttributeValue {
        int propertyIndex;
        Value value;
    };
    struct ToOneChange {
        int propertyIndex;
        std::optional<ObjectID> target;  // the child's final value
    };
    // Many-to-many relationships only (the to-many side of a one-to-many follows its to-ones).
    // Membership of one pair never moves another, so net additions and removals are exact.
    struct ToManyChange {
        int propertyIndex;
        std::vector<ObjectID> added;
        std::vector<ObjectID> removed;
    };
    struct Record {
        ObjectID id;
        std::vector<AttributeChange> attributes;  // updated records
        std::vector<AttributeValue> values;       // inserted records
        std::vector<ToOneChange> toOne;
        std::vector<ToManyChange> toMany;
    };

    std::vector<Record> inserted;
    std::vector<Record> updated;
    std::vector<ObjectID> deleted;

    // Records new in a child that lets go of its graph (saveAndRelease), handed over whole
    // instead of as values: a bulk import is then never held twice over. Their attributes and
    // their links among each other are kept as they are; their links to the rest of the graph
    // were taken out and travel in `handedOverLinks`.
    std::vector<std::unique_ptr<ManagedObject>> handedOver;
    // A link of a handed-over record to a record the parent has: the to-one's target or one
    // member of a many-to-many set.
    struct Link {
        ManagedObject* record;
        int propertyIndex;
        ObjectID target;
    };
    std::vector<Link> handedOverLinks;
};

}  // namespace ravelong
