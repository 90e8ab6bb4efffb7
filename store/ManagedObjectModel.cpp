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
        if (e->properties.size() > static_cast<std::size_t>(kMaxProperties))
            throw std::logic_error(e->name + " has more properties than a change mask holds");
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
        for (const IndexDescription& index : e->indexes) {
            if (index.columns.empty())
                throw std::logic_error("an index of " + e->name + " without columns");
            for (const std::string& column : index.columns) {
                const PropertyDescription* p = e->property(column);
                const bool isColumn = p && (p->kind == PropertyKind::Attribute ||
                                            (p->kind == PropertyKind::ToOne && p->persisted));
                if (!isColumn)
                    throw std::logic_error("index of " + e->name + " on " + column +
                                           ", which is not a column");
            }
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
