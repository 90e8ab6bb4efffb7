#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ravelong {

class ManagedObject;

struct ChangedObject {
    ManagedObject* object = nullptr;
    std::uint64_t changedMask = 0;  // bit i: property i of the object's entity changed

    bool changed(int propertyIndex) const { return (changedMask >> propertyIndex) & 1u; }
    std::vector<std::string> changedKeys() const;
};

// The records a context inserted, updated and deleted, as reported when it processes its pending
// changes or saves.
struct ChangeSet {
    std::vector<ManagedObject*> inserted;
    std::vector<ChangedObject> updated;
    std::vector<ManagedObject*> deleted;

    bool empty() const { return inserted.empty() && updated.empty() && deleted.empty(); }
};

}  // namespace ravelong
