#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "store/EntityDescription.h"
#include "store/ObjectSet.h"
#include "store/Value.h"

namespace ravelong {

class ManagedObjectContext;

// Identity of a record: its entity and its primary key in the store file. Stable across saves,
// shared by a context and its children.
struct ObjectID {
    int entityIndex = -1;
    std::int64_t primaryKey = 0;
    bool operator==(const ObjectID&) const = default;
};

// What changed in one to-many relationship since the last save.
struct ToManyDiff {
    int propertyIndex = 0;
    ObjectSet added;
    ObjectSet removed;
};

// Base of every record. A record belongs to exactly one context, which owns it; pointers to it
// stay valid until that context is reset or destroyed, also after the record is deleted.
//
// Every change made through the setters of a record is tracked by its context (for saving,
// rollback and change notifications) and registered with the context's undo manager. Setting a
// relationship keeps its inverse on the other records in step.
class ManagedObject {
public:
    virtual ~ManagedObject() = default;

    const EntityDescription& entity() const { return *entity_; }
    ManagedObjectContext* managedObjectContext() const { return context_; }
    ObjectID objectID() const;
    // A stable reference to this record that ManagedObjectContext::objectWithURI resolves.
    std::string uriRepresentation() const;

    // Not yet in the store (or the parent context) and not deleted.
    bool isInserted() const { return !persisted_ && !deleted_ && context_; }
    bool isDeleted() const { return deleted_; }
    // Saved earlier and changed since.
    bool isUpdated() const;
    bool hasChanges() const { return isInserted() || isUpdated() || (deleted_ && persisted_); }

    // Names of the properties changed since the last save (none for a record not saved yet:
    // it is written and reported whole).
    std::vector<std::string> changedKeys() const;
    std::uint64_t changedMask() const { return changes_ ? changes_->changedMask : 0; }
    // The value a changed attribute or to-one property had at the last save (absent when it is
    // unchanged).
    const Value* committedValue(int propertyIndex) const;
    const ToManyDiff* toManyDiff(int propertyIndex) const;

    // Generic access by property name (slower than the typed accessors of the records). Setting
    // goes through the same tracking, inverse keeping and hooks as the typed setters; setting a
    // to-many replaces its members.
    Value valueForKey(std::string_view key) const;
    void setValueForKey(std::string_view key, const Value& value);

    // Used by undo, rollback, merges and loading; see PropertyDescription.
    void setPrimitiveValue(int propertyIndex, const Value& value);

protected:
    explicit ManagedObject(const EntityDescription& entity) : entity_(&entity) {}
    // Records are cloned into child contexts: the copy carries the fields but no context,
    // change record or relationship members (the context re-links them).
    ManagedObject(const ManagedObject& other);
    ManagedObject& operator=(const ManagedObject&) = delete;

    // Setters of the records call these. They run the entity's didSetHook afterwards.
    void setAttribute(int propertyIndex, const Value& value);
    void setToOne(int propertyIndex, ManagedObject* target);
    void addToMany(int propertyIndex, ManagedObject* member);
    void removeFromMany(int propertyIndex, ManagedObject* member);
    void setToManyMembers(int propertyIndex, const std::vector<ManagedObject*>& members);

private:
    friend class ManagedObjectContext;
    friend class PersistentStore;

    struct ChangeRecord {
        // Bit i: property i (so an entity has at most kMaxProperties).
        std::uint64_t changedMask = 0;  // since the last save
        std::uint64_t pendingMask = 0;  // since the last processPendingChanges
        std::vector<std::pair<int, Value>> committed;
        std::vector<ToManyDiff> toManyDiffs;
    };

    // Tracked primitive changes: recorded and registered for undo, no inverse keeping, no hook.
    void changeTracked(int propertyIndex, const Value& value);
    // Inverse-keeping changes without the hook (used by deletion and merges).
    void linkToOne(int propertyIndex, ManagedObject* target);
    void linkAdd(int propertyIndex, ManagedObject* member);
    void linkRemove(int propertyIndex, ManagedObject* member);
    void addTracked(int propertyIndex, ManagedObject* member);
    void removeTracked(int propertyIndex, ManagedObject* member);
    void noteChange(int propertyIndex, const Value* oldValue);
    ToManyDiff& diffFor(int propertyIndex);
    void runHook(int propertyIndex);
    void clearChanges() { changes_.reset(); }
    void clearPending() {
        if (changes_)
            changes_->pendingMask = 0;
    }

    const EntityDescription* entity_;
    ManagedObjectContext* context_ = nullptr;
    std::int64_t primaryKey_ = 0;
    std::unique_ptr<ChangeRecord> changes_;
    // Last, so that a record's own small fields can fill the space after them.
    bool persisted_ = false;
    bool deleted_ = false;
};

}  // namespace ravelong
