#include "store/ManagedObjectModel.h"

#include <cstdlib>
#include <stdexcept>

namespace ravelong {

const PropertyDescription* EntityDescription::property(std::string_view propertyName) const {
    for (const PropertyDescription& p : properties) {
        if (p.name == propertyName)
            return &p;
    }
    return nullptr;
}

ManagedObjectModel::ManagedObjectModel(int version, std::vector<EntityDescription*> entities)
    : version_(version), entities_(std::move(entities)) {
    for (std::size_t i = 0; i < entities_.size(); ++i)
        entities_[i]->index = static_cast<int>(i);
    // A model that does not link is a programming error, found by the first test that runs.
    for (EntityDescription* e : entities_) {
        for (PropertyDescription& p : e->properties) {
            if (!p.isRelationship())
                continue;
            p.destination = entity(p.destinationName);
            if (!p.destination)
                throw std::logic_error("unknown entity " + p.destinationName);
            p.inverse = p.destination->property(p.inverseName);
            if (!p.inverse)
                throw std::logic_error("unknown inverse " + p.inverseName);
        }
    }
}

const EntityDescription* ManagedObjectModel::entity(std::string_view name) const {
    for (const EntityDescription* e : entities_) {
        if (e->name == name)
            return e;
    }
    return nullptr;
}

}  // namespace ravelong
