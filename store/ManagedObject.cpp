#include "store/ManagedObject.h"

#include <algorithm>
#include <cassert>

#include "store/ManagedObjectContext.h"

namespace ravelong {

ManagedObject::ManagedObject(const ManagedObject& other)
    : entity_(other.entity_), primaryKey_(other.primaryKey_) {}

ObjectID ManagedObject::objectID() const {
    return ObjectID{entity_->index, primaryKey_};
}

std::string ManagedObject::uriRepresentation() const {
    const std::string store = context_ ? context_->storeIdentifier() : std::string();
    return "x-ravelong://" + store + "/" + entity_->name + "/p" + std::to_string(primaryKey_);
}

bool ManagedObject::isUpdated() const {
    return persisted_ && !deleted_ && changes_ &&
           (changes_->changedMask != 0 || !changes_->toManyDiffs.empty());
}

std::vector<std::string> ManagedObject::changedKeys() const {
    return ChangedObject{const_cast<ManagedObject*>(this), changedMask()}.changedKeys();
}

const Value* ManagedObject::committedValue(int propertyIndex) const {
    if (!changes_)
        return nullptr;
    for (const auto& [index, value] : changes_->committed) {
        if (index == propertyIndex)
            return &value;
    }
    return nullptr;
}

const ToManyDiff* ManagedObject::toManyDiff(int propertyIndex) const {
    if (!changes_)
        return nullptr;
    for (const ToManyDiff& diff : changes_->toManyDiffs) {
        if (diff.propertyIndex == propertyIndex)
            return &diff;
    }
    return nullptr;
}

Value ManagedObject::valueForKey(std::string_view key) const {
    const PropertyDescription* p = entity_->property(key);
    return p ? p->get(*this) : Value();
}

void ManagedObject::setValueForKey(std::string_view key, const Value& value) {
    const PropertyDescription* p = entity_->property(key);
    if (!p)
        return;
    switch (p->kind) {
        case PropertyKind::Attribute:
            setAttribute(p->index, value);
            break;
        case PropertyKind::ToOne: {
            auto target = std::get_if<ManagedObject*>(&value);
            setToOne(p->index, target ? *target : nullptr);
            break;
        }
        case PropertyKind::ToMany: {
            auto members = std::get_if<std::vector<ManagedObject*>>(&value);
            setToManyMembers(p->index, members ? *members : std::vector<ManagedObject*>{});
            break;
        }
    }
}

void ManagedObject::setPrimitiveValue(int propertyIndex, const Value& value) {
    const PropertyDescription& p = entity_->properties[propertyIndex];
    if (p.kind == PropertyKind::ToMany) {
        ObjectSet& set = p.toMany(*this);
        set.clear();
        if (auto members = std::get_if<std::vector<ManagedObject*>>(&value)) {
            for (ManagedObject* m : *members)
                set.insert(m);
        }
        return;
    }
    p.setPrimitive(*this, value);
}

// --- Tracked primitive changes -----------------------------------------------------------

void ManagedObject::noteChange(int propertyIndex, const Value* oldValue) {
    // A record not saved yet is written, reported and pushed whole: what changed in it since it
    // was made is of no use, and a bulk import makes hundreds of thousands of them.
    if (!context_ || !persisted_)
        return;
    if (!changes_)
        changes_ = std::make_unique<ChangeRecord>();
    assert(propertyIndex >= 0 && propertyIndex < kMaxProperties);
    const std::uint64_t bit = std::uint64_t{1} << propertyIndex;
    // The saved value is only worth keeping for records the store (or parent) already has: it
    // is what rollback restores and what a parent compares against when a child merges.
    if (oldValue && persisted_ && !(changes_->changedMask & bit)) {
        changes_->committed.emplace_back(propertyIndex, *oldValue);
    }
    changes_->changedMask |= bit;
    changes_->pendingMask |= bit;
    context_->objectDidChange(this);
}

void ManagedObject::changeTracked(int propertyIndex, const Value& value) {
    const PropertyDescription& p = entity_->properties[propertyIndex];
    Value old = p.get(*this);
    if (old == value)
        return;
    noteChange(propertyIndex, &old);
    if (context_ && p.kind == PropertyKind::Attribute) {
        context_->attributeWillChange(this, propertyIndex, old, value);
    }
    p.setPrimitive(*this, value);
    if (context_ && context_->undoRegistrationEnabled()) {
        context_->registerUndo(
            [this, propertyIndex, old = std::move(old)] { changeTracked(propertyIndex, old); });
    }
}

ToManyDiff& ManagedObject::diffFor(int propertyIndex) {
    for (ToManyDiff& diff : changes_->toManyDiffs) {
        if (diff.propertyIndex == propertyIndex)
            return diff;
    }
    changes_->toManyDiffs.push_back(ToManyDiff{propertyIndex, {}, {}});
    return changes_->toManyDiffs.back();
}

void ManagedObject::addTracked(int propertyIndex, ManagedObject* member) {
    if (!entity_->properties[propertyIndex].toMany(*this).insert(member))
        return;
    noteChange(propertyIndex, nullptr);
    // The differences since the last save are kept for records the store (or parent) has: the
    // save writes them and rollback reverts them. A record not saved yet is written whole, and
    // for a large import its differences would be a copy of every set it holds.
    if (changes_ && persisted_) {
        ToManyDiff& diff = diffFor(propertyIndex);
        if (!diff.removed.erase(member))
            diff.added.insert(member);
    }
    if (context_ && context_->undoRegistrationEnabled()) {
        context_->registerUndo(
            [this, propertyIndex, member] { removeTracked(propertyIndex, member); });
    }
}

void ManagedObject::removeTracked(int propertyIndex, ManagedObject* member) {
    if (!entity_->properties[propertyIndex].toMany(*this).erase(member))
        return;
    noteChange(propertyIndex, nullptr);
    if (changes_ && persisted_) {
        ToManyDiff& diff = diffFor(propertyIndex);
        if (!diff.added.erase(member))
            diff.removed.insert(member);
    }
    if (context_ && context_->undoRegistrationEnabled()) {
        context_->registerUndo(
            [this, propertyIndex, member] { addTracked(propertyIndex, member); });
    }
}

void ManagedObject::runHook(int propertyIndex) {
    if (entity_->didSetHook && context_ && !deleted_)
        entity_->didSetHook(*this, propertyIndex);
}

// --- Setters with inverse keeping ---------------------------------------------------------

void ManagedObject::setAttribute(int propertyIndex, const Value& value) {
    changeTracked(propertyIndex, value);
    runHook(propertyIndex);
}

void ManagedObject::setToOne(int propertyIndex, ManagedObject* target) {
    linkToOne(propertyIndex, target);
    runHook(propertyIndex);
}

void ManagedObject::addToMany(int propertyIndex, ManagedObject* member) {
    linkAdd(propertyIndex, member);
    runHook(propertyIndex);
}

void ManagedObject::removeFromMany(int propertyIndex, ManagedObject* member) {
    linkRemove(propertyIndex, member);
    runHook(propertyIndex);
}

void ManagedObject::linkToOne(int propertyIndex, ManagedObject* target) {
    const PropertyDescription& p = entity_->properties[propertyIndex];
    ManagedObject* old = p.toOne(*this);
    if (old == target)
        return;
    const PropertyDescription& inverse = *p.inverse;
    const Value none(static_cast<ManagedObject*>(nullptr));
    if (old) {
        if (inverse.kind == PropertyKind::ToMany) {
            old->removeTracked(inverse.index, this);
        } else {
            old->changeTracked(inverse.index, none);
        }
    }
    if (target) {
        if (inverse.kind == PropertyKind::ToOne) {
            // One-to-one: the target's previous partner loses it.
            ManagedObject* previousPartner = inverse.toOne(*target);
            if (previousPartner && previousPartner != this) {
                previousPartner->changeTracked(propertyIndex, none);
            }
            target->changeTracked(inverse.index, Value(this));
        } else {
            target->addTracked(inverse.index, this);
        }
    }
    changeTracked(propertyIndex, Value(target));
}

void ManagedObject::linkAdd(int propertyIndex, ManagedObject* member) {
    const PropertyDescription& p = entity_->properties[propertyIndex];
    if (!member || p.toMany(*this).contains(member))
        return;
    const PropertyDescription& inverse = *p.inverse;
    if (inverse.kind == PropertyKind::ToOne) {
        // The member leaves its previous owner's set.
        ManagedObject* previousOwner = inverse.toOne(*member);
        if (previousOwner && previousOwner != this) {
            previousOwner->removeTracked(propertyIndex, member);
        }
        member->changeTracked(inverse.index, Value(this));
    } else {
        member->addTracked(inverse.index, this);
    }
    addTracked(propertyIndex, member);
}

void ManagedObject::linkRemove(int propertyIndex, ManagedObject* member) {
    const PropertyDescription& p = entity_->properties[propertyIndex];
    if (!member || !p.toMany(*this).contains(member))
        return;
    const PropertyDescription& inverse = *p.inverse;
    if (inverse.kind == PropertyKind::ToOne) {
        member->changeTracked(inverse.index, Value(static_cast<ManagedObject*>(nullptr)));
    } else {
        member->removeTracked(inverse.index, this);
    }
    removeTracked(propertyIndex, member);
}

void ManagedObject::setToManyMembers(int propertyIndex,
                                     const std::vector<ManagedObject*>& members) {
    const PropertyDescription& p = entity_->properties[propertyIndex];
    const std::vector<ManagedObject*> current = p.toMany(*this).items();
    for (ManagedObject* old : current) {
        if (std::find(members.begin(), members.end(), old) == members.end()) {
            linkRemove(propertyIndex, old);
        }
    }
    for (ManagedObject* member : members)
        linkAdd(propertyIndex, member);
    runHook(propertyIndex);
}

}  // namespace ravelong
