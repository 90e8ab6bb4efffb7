#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "store/CompactFields.h"
#include "store/ObjectSet.h"
#include "store/Value.h"

namespace ravelong {

class ManagedObject;
struct EntityDescription;

enum class AttributeType { Bool, Int16, Int32, Int64, Double, Date, String, Data };

// The most properties an entity may have: change tracking keeps one bit per property in a 64-bit
// mask, and attribute indexes are keyed by entity index * kMaxProperties + property index.
inline constexpr int kMaxProperties = 64;
static_assert(kMaxProperties == std::numeric_limits<std::uint64_t>::digits);

enum class PropertyKind { Attribute, ToOne, ToMany };

// One stored property of an entity, with the accessors that generic code (undo, change
// tracking, merges, persistence) uses. The primitive setters change the field only: they do not
// track changes, keep inverses or run hooks.
struct PropertyDescription {
    std::string name;
    PropertyKind kind = PropertyKind::Attribute;
    AttributeType type = AttributeType::Int64;  // attributes only
    int index = 0;

    // Relationships.
    std::string destinationName;
    std::string inverseName;
    const EntityDescription* destination = nullptr;
    const PropertyDescription* inverse = nullptr;
    // Which side of a relationship the file stores: the to-one side of a one-to-many, the
    // declared side of a one-to-one, and the declared side of a many-to-many (a join table).
    bool persisted = true;

    Value (*get)(const ManagedObject&) = nullptr;
    void (*setPrimitive)(ManagedObject&, const Value&) = nullptr;  // attributes, to-one
    ManagedObject* (*toOne)(const ManagedObject&) = nullptr;       // to-one
    ObjectSet& (*toMany)(ManagedObject&) = nullptr;                // to-many

    bool isRelationship() const { return kind != PropertyKind::Attribute; }
    bool isManyToMany() const {
        return kind == PropertyKind::ToMany && inverse && inverse->kind == PropertyKind::ToMany;
    }
};

// Called after a property of a record was set through its public setter, whether or not the
// value changed. Higher layers attach derived-data maintenance here.
using PropertySetHook = std::function<void(ManagedObject&, int propertyIndex)>;

// An index of an entity's table, for look-ups in the file that must not scan. Columns are names
// of attributes or stored to-one relationships, most significant first; the file names the index
// "<Entity>_<column>_<column>...". Changing a declared index changes the files the model makes.
struct IndexDescription {
    std::vector<std::string> columns;
    bool unique = false;
};

struct EntityDescription {
    std::string name;
    int index = 0;  // position in the model
    std::vector<PropertyDescription> properties;
    std::unique_ptr<ManagedObject> (*create)() = nullptr;
    std::unique_ptr<ManagedObject> (*clone)(const ManagedObject&) = nullptr;
    PropertySetHook didSetHook;
    std::vector<IndexDescription> indexes;

    const PropertyDescription* property(std::string_view propertyName) const;
};

namespace entity_builder {

template <class F>
Value fieldToValue(const F& field) {
    return value_conversion::toValue(field);
}
template <class T>
Value fieldToValue(T* const& field) {
    return Value(static_cast<ManagedObject*>(field));
}

template <class F>
void valueToField(F& field, const Value& value) {
    field = value_conversion::fromValue<F>(value);
}
template <class T>
void valueToField(T*& field, const Value& value) {
    auto object = std::get_if<ManagedObject*>(&value);
    field = object ? static_cast<T*>(*object) : nullptr;
}

}  // namespace entity_builder

// Fills an EntityDescription from pointers to the record's fields. Properties must be added
// in the order of the record's property index constants (its enum Property, whose last constant
// kPropertyCount counts them); build() refuses a description with another number of properties.
template <class Record>
class EntityBuilder {
public:
    explicit EntityBuilder(std::string name) {
        description_.name = std::move(name);
        description_.create = [] { return std::unique_ptr<ManagedObject>(new Record()); };
        description_.clone = [](const ManagedObject& object) {
            return std::unique_ptr<ManagedObject>(new Record(static_cast<const Record&>(object)));
        };
    }

    template <auto Field>
    EntityBuilder& attribute(std::string name, AttributeType type) {
        PropertyDescription& p = add(std::move(name), PropertyKind::Attribute);
        p.type = type;
        p.get = [](const ManagedObject& o) {
            return entity_builder::fieldToValue(static_cast<const Record&>(o).*Field);
        };
        p.setPrimitive = [](ManagedObject& o, const Value& v) {
            entity_builder::valueToField(static_cast<Record&>(o).*Field, v);
        };
        return *this;
    }

    template <auto Field>
    EntityBuilder& toOne(std::string name, std::string destination, std::string inverse,
                         bool persisted = true) {
        PropertyDescription& p = add(std::move(name), PropertyKind::ToOne);
        p.destinationName = std::move(destination);
        p.inverseName = std::move(inverse);
        p.persisted = persisted;
        p.get = [](const ManagedObject& o) {
            return entity_builder::fieldToValue(static_cast<const Record&>(o).*Field);
        };
        p.setPrimitive = [](ManagedObject& o, const Value& v) {
            entity_builder::valueToField(static_cast<Record&>(o).*Field, v);
        };
        p.toOne = [](const ManagedObject& o) -> ManagedObject* {
            return static_cast<const Record&>(o).*Field;
        };
        return *this;
    }

    template <auto Field>
    EntityBuilder& toMany(std::string name, std::string destination, std::string inverse,
                          bool persisted = false) {
        PropertyDescription& p = add(std::move(name), PropertyKind::ToMany);
        p.destinationName = std::move(destination);
        p.inverseName = std::move(inverse);
        p.persisted = persisted;
        p.toMany = [](ManagedObject& o) -> ObjectSet& { return static_cast<Record&>(o).*Field; };
        p.get = [](const ManagedObject& o) {
            const ObjectSet& set = static_cast<const Record&>(o).*Field;
            return Value(set.items());
        };
        return *this;
    }

    // Declares an index of the entity's table (see IndexDescription).
    EntityBuilder& index(std::vector<std::string> columns, bool unique = false) {
        description_.indexes.push_back(IndexDescription{std::move(columns), unique});
        return *this;
    }

    EntityDescription build() {
        static_assert(Record::kPropertyCount <= kMaxProperties,
                      "an entity has at most kMaxProperties properties");
        // A programming error, found by the first test that touches the entity.
        if (description_.properties.size() != static_cast<std::size_t>(Record::kPropertyCount)) {
            throw std::logic_error(description_.name +
                                   ": the builder and the property constants disagree");
        }
        return std::move(description_);
    }

private:
    PropertyDescription& add(std::string name, PropertyKind kind) {
        PropertyDescription p;
        p.name = std::move(name);
        p.kind = kind;
        p.index = static_cast<int>(description_.properties.size());
        description_.properties.push_back(std::move(p));
        return description_.properties.back();
    }

    EntityDescription description_;
};

}  // namespace ravelong
