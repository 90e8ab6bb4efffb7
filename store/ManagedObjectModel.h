#pragma once

#include <string_view>
#include <vector>

#include "store/EntityDescription.h"

namespace ravelong {

// The entities a store holds and the model version written into the file. Construction links
// every relationship to its destination and inverse.
class ManagedObjectModel {
public:
    ManagedObjectModel(int version, std::vector<EntityDescription*> entities);

    int version() const { return version_; }
    const std::vector<EntityDescription*>& entities() const { return entities_; }
    const EntityDescription* entity(std::string_view name) const;

private:
    int version_;
    std::vector<EntityDescription*> entities_;
};

}  // namespace ravelong
