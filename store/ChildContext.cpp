// Child contexts: a copy of the parent's graph that saves back into the parent.
#include "store/ChildChanges.h"
#include "store/ManagedObjectContext.h"
#include "store/PrimaryKeyAllocator.h"
#include "store/ZRUndoManager.h"

namespace ravelong {

namespace {

std::optional<ObjectID> idOf(const Value& value) {
    auto object = std::get_if<ManagedObject*>(&value);
    if (!object || !*object)
        return std::nullopt;
    return (*object)->objectID();
}

std::vector<ObjectID> idsOf(const ObjectSet& set) {
    std::vector<ObjectID> ids;
    ids.reserve(set.size());
    for (ManagedObject* member : set)
        ids.push_back(member->objectID());
    return ids;
}

}  // namespace

std::unique_ptr<ManagedObjectContext> ManagedObjectContext::newChildContext() {
    auto child = std::make_unique<ManagedObjectContext>(*model_);
    child->parent_ = this;
    child->keys_ = keys_;
    child->storeIdentifier_ = storeIdentifier_;

    std::size_t total = 0;
    for (const ObjectSet& live : liveByEntity_)
        total += live.size();
    std::vector<ManagedObject*> copies;
    copies.reserve(total);
    for (const EntityDescription* entity : model_->entities()) {
        const ObjectSet& live = liveByEntity_[entity->index];
        child->reserveRecords(entity->index, live.size());
        for (ManagedObject* original : live) {
            copies.push_back(child->adopt(entity->clone(*original), original->primaryKey_, true));
        }
    }
    // The copies still point into our graph; point them at each other instead.
    auto counterpart = [&child](ManagedObject* original) {
        return child->objectWithID(original->objectID());
    };
    for (ManagedObject* copy : copies) {
        for (const PropertyDescription& p : copy->entity().properties) {
            if (p.kind == PropertyKind::ToOne) {
                if (ManagedObject* target = p.toOne(*copy))
                    p.setPrimitive(*copy, Value(counterpart(target)));
            } else if (p.kind == PropertyKind::ToMany) {
                p.toMany(*copy).replaceEach(counterpart);
            }
        }
    }
    return child;
}

ChildChanges ManagedObjectContext::collectChildChanges(bool withInserted) const {
    ChildChanges changes;
    if (withInserted)
        changes.inserted.reserve(insertedObjects_.size());
    // A record as the parent makes it before taking the child's values, per entity.
    std::vector<std::unique_ptr<ManagedObject>> fresh(model_->entities().size());
    static const ObjectSet kNone;
    for (ManagedObject* object : withInserted ? insertedObjects_ : kNone) {
        ChildChanges::Record record{object->objectID(), {}, {}, {}, {}};
        std::unique_ptr<ManagedObject>& blank = fresh[object->entity().index];
        if (!blank)
            blank = object->entity().create();
        for (const PropertyDescription& p : object->entity().properties) {
            if (p.kind == PropertyKind::Attribute) {
                Value value = p.get(*object);
                if (value != p.get(*blank))
                    record.values.push_back({p.index, std::move(value)});
            } else if (p.persisted && p.kind == PropertyKind::ToOne) {
                record.toOne.push_back({p.index, idOf(p.get(*object))});
            } else if (p.persisted && p.kind == PropertyKind::ToMany) {
                record.toMany.push_back({p.index, idsOf(p.toMany(*object)), {}});
            }
        }
        changes.inserted.push_back(std::move(record));
    }
    for (ManagedObject* object : updatedCandidates_) {
        if (!object->isUpdated())
            continue;
        ChildChanges::Record record{object->objectID(), {}, {}, {}, {}};
        for (const auto& [index, original] : object->changes_->committed) {
            const PropertyDescription& p = object->entity().properties[index];
            if (p.kind == PropertyKind::Attribute) {
                record.attributes.push_back({index, original, p.get(*object)});
            } else if (p.persisted) {
                // A link changed and changed back is no change of the child's.
                const std::optional<ObjectID> target = idOf(p.get(*object));
                if (target != idOf(original))
                    record.toOne.push_back({index, target});
            }
        }
        for (const ToManyDiff& diff : object->changes_->toManyDiffs) {
            if (!object->entity().properties[diff.propertyIndex].persisted)
                continue;
            record.toMany.push_back({diff.propertyIndex, idsOf(diff.added), idsOf(diff.removed)});
        }
        changes.updated.push_back(std::move(record));
    }
    for (ManagedObject* object : deletedObjects_)
        changes.deleted.push_back(object->objectID());
    return changes;
}

void ManagedObjectContext::handOverInsertedRecords(ChildChanges& changes) {
    // Made here and still live; every other record is a copy of one of the parent's.
    auto goesOver = [this](const ManagedObject* record) {
        return record->context_ == this && !record->persisted_ && !record->deleted_;
    };
    const Value none(static_cast<ManagedObject*>(nullptr));
    std::vector<ManagedObject*> others;
    for (ManagedObject* object : insertedObjects_) {
        for (const PropertyDescription& p : object->entity().properties) {
            // Only the stored side of a link travels, as for the records of a save; the other
            // side's record (a copy of the parent's, updated here) brings it.
            if (p.kind == PropertyKind::ToOne) {
                ManagedObject* target = p.toOne(*object);
                if (!target || goesOver(target))
                    continue;
                if (p.persisted)
                    changes.handedOverLinks.push_back({object, p.index, target->objectID()});
                p.setPrimitive(*object, none);
            } else if (p.kind == PropertyKind::ToMany) {
                ObjectSet& set = p.toMany(*object);
                others.clear();
                for (ManagedObject* member : set) {
                    if (!goesOver(member))
                        others.push_back(member);
                }
                for (ManagedObject* member : others) {
                    if (p.persisted)
                        changes.handedOverLinks.push_back({object, p.index, member->objectID()});
                    set.erase(member);
                }
            }
        }
    }
    changes.handedOver.reserve(insertedObjects_.size());
    for (std::unique_ptr<ManagedObject>& owned : owned_) {
        if (owned && goesOver(owned.get()))
            changes.handedOver.push_back(std::move(owned));
    }
}

// Applies a child's saved changes. Where the child changed an attribute that we changed too since
// the child was made, our value stays: the user's unsaved edits on the main thread win. A
// relationship the child changed takes the child's final value: links hang together through
// their inverses, and keeping some of ours beside some of the child's would leave a graph that
// neither side ever had (a task order with two heads, a timing in no task's list).
void ManagedObjectContext::mergeChildChanges(ChildChanges& changes) {
    std::vector<std::pair<ManagedObject*, const ChildChanges::Record*>> records;
    records.reserve(changes.inserted.size() + changes.updated.size());
    std::vector<std::size_t> insertedPerEntity(model_->entities().size());
    std::size_t newRecords = 0;
    for (const ChildChanges::Record& record : changes.inserted) {
        if (!objectWithID(record.id)) {
            ++insertedPerEntity[record.id.entityIndex];
            ++newRecords;
        }
    }
    for (const std::unique_ptr<ManagedObject>& record : changes.handedOver) {
        ++insertedPerEntity[record->entity().index];
        ++newRecords;
    }
    for (std::size_t e = 0; e < insertedPerEntity.size(); ++e) {
        if (insertedPerEntity[e] > 0)
            reserveRecords(static_cast<int>(e), insertedPerEntity[e]);
    }
    insertedObjects_.reserve(insertedObjects_.size() + newRecords);
    pendingInserted_.reserve(pendingInserted_.size() + newRecords);
    // The undo of a record new here is its deletion, which unlinks it from every record it is
    // linked to (and the redo brings it back with its values and links). Its values and links
    // register no undo actions of their own: for a large import they would be most of the
    // memory the push takes, and undoing them first would change nothing.
    ZRUndoManager* undo = undoRegistrationEnabled() ? undoManager_.get() : nullptr;
    auto withoutUndo = [undo](auto&& work) {
        if (undo)
            undo->disableUndoRegistration();
        work();
        if (undo)
            undo->enableUndoRegistration();
    };
    for (const ChildChanges::Record& record : changes.inserted) {
        if (objectWithID(record.id))
            continue;
        const EntityDescription& entity = *model_->entities()[record.id.entityIndex];
        ManagedObject* object = adopt(entity.create(), record.id.primaryKey, false);
        keys_->reserveUpTo(entity.index, record.id.primaryKey);
        // A record just made is in no set yet.
        insertedObjects_.appendUnchecked(object);
        pendingInserted_.appendUnchecked(object);
        registerUndo([this, object] { deleteObject(object); });
        withoutUndo([&] {
            for (const auto& change : record.values)
                object->changeTracked(change.propertyIndex, change.value);
        });
        records.emplace_back(object, &record);
    }
    // A record handed over whole keeps its values and its links among the records handed over
    // with it; the shared key allocator gave it a key no record of ours has.
    for (std::unique_ptr<ManagedObject>& record : changes.handedOver) {
        const ObjectID id = record->objectID();
        record->clearPending();
        ManagedObject* object = adopt(std::move(record), id.primaryKey, false);
        keys_->reserveUpTo(id.entityIndex, id.primaryKey);
        insertedObjects_.appendUnchecked(object);
        pendingInserted_.appendUnchecked(object);
        registerUndo([this, object] { deleteObject(object); });
    }
    changes.handedOver.clear();
    const std::size_t newCount = records.size();  // records[0, newCount) are new here
    for (const ChildChanges::Record& record : changes.updated) {
        ManagedObject* object = objectWithID(record.id);
        if (!object)
            continue;  // we deleted it meanwhile
        const auto& properties = object->entity().properties;
        for (const auto& change : record.attributes) {
            if (properties[change.propertyIndex].get(*object) != change.original)
                continue;
            object->changeTracked(change.propertyIndex, change.value);
        }
        records.emplace_back(object, &record);
    }
    // Links go in once every record exists here, so a link to a record the child made resolves.
    auto resolve = [this](const std::optional<ObjectID>& id) {
        return id ? objectWithID(*id) : nullptr;
    };
    // A link from a new record to one whose side of it is a to-many set displaces nothing, and
    // goes when the new record is deleted: it too needs no undo action. A link that may take a
    // record away from another (one-to-one, or a member with an owner) keeps its undo actions.
    auto quietLink = [](const ManagedObject& object, int propertyIndex) {
        const PropertyDescription& inverse = *object.entity().properties[propertyIndex].inverse;
        return inverse.kind == PropertyKind::ToMany;
    };
    // The links of handed-over records, to-ones with the to-ones and set members with the sets.
    auto linkHandedOver = [&](PropertyKind kind) {
        for (const ChildChanges::Link& link : changes.handedOverLinks) {
            const PropertyDescription& p = link.record->entity().properties[link.propertyIndex];
            if (p.kind != kind)
                continue;
            ManagedObject* target = objectWithID(link.target);
            auto apply = [&] {
                if (kind == PropertyKind::ToOne)
                    link.record->linkToOne(p.index, target);
                else
                    link.record->linkAdd(p.index, target);
            };
            if (quietLink(*link.record, p.index))
                withoutUndo(apply);
            else
                apply();
        }
    };
    linkHandedOver(PropertyKind::ToOne);
    for (std::size_t i = 0; i < records.size(); ++i) {
        const auto& [object, record] = records[i];
        for (const auto& change : record->toOne) {
            auto link = [&] { object->linkToOne(change.propertyIndex, resolve(change.target)); };
            if (i < newCount && quietLink(*object, change.propertyIndex))
                withoutUndo(link);
            else
                link();
        }
    }
    linkHandedOver(PropertyKind::ToMany);
    for (std::size_t i = 0; i < records.size(); ++i) {
        const auto& [object, record] = records[i];
        for (const auto& change : record->toMany) {
            for (const ObjectID& id : change.removed)
                object->linkRemove(change.propertyIndex, objectWithID(id));
            auto link = [&] {
                for (const ObjectID& id : change.added)
                    object->linkAdd(change.propertyIndex, objectWithID(id));
            };
            if (i < newCount && quietLink(*object, change.propertyIndex))
                withoutUndo(link);
            else
                link();
        }
    }
    for (const ObjectID& id : changes.deleted)
        deleteObject(objectWithID(id));
}

}  // namespace ravelong
