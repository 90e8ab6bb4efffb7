#pragma once

#include <optional>
#include <utility>
#include <vector>

#include "store/ManagedObject.h"

namespace ravelong {

// What a child context hands its parent when it saves, with records named by ObjectID so the
// parent can resolve them in its own graph. Only the stored side of each relationship travels;
// the parent keeps the inverses itself.
struct ChildChanges {
    struct AttributeChange {
        int propertyIndex;
        Value original;  // as the child first saw it; unused for inserted records
        Value value;
    };
    struct ToOneChange {
        int propertyIndex;
        std::optional<ObjectID> original;
        std::optional<ObjectID> target;
    };
    struct ToManyChange {
        int propertyIndex;
        std::vector<ObjectID> added;
        std::vector<ObjectID> removed;
    };
    struct Record {
        ObjectID id;
        std::vector<AttributeChange> attributes;
        std::vector<ToOneChange> toOne;
        std::vector<ToManyChange> toMany;
    };

    std::vector<Record> inserted;
    std::vector<Record> updated;
    std::vector<ObjectID> deleted;
};

}  // namespace ravelong
