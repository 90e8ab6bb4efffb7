#include "store/ManagedObjectContext.h"

#include <charconv>
#include <future>

#include "foundation/MainLoop.h"
#include "foundation/Uuid.h"
#include "store/ChildChanges.h"
#include "store/PersistentStore.h"
#include "store/PrimaryKeyAllocator.h"
#include "store/ZRUndoManager.h"

namespace ravelong {

// A change set reports one bit per property, as the records track them.
static_assert(sizeof(ChangedObject::changedMask) * 8 == kMaxProperties);

std::vector<std::string> ChangedObject::changedKeys() const {
    std::vector<std::string> keys;
    if (!object)
        return keys;
    const auto& properties = object->entity().properties;
    for (std::size_t i = 0; i < properties.size(); ++i) {
        if (changed(static_cast<int>(i)))
            keys.push_back(properties[i].name);
    }
    return keys;
}

// --- Attribute indexes -------------------------------------------------------------------

namespace {

struct ValueHash {
    std::size_t operator()(const Value& value) const {
        const std::size_t kind = value.index() * 0x9E3779B97F4A7C15ull;
        if (auto i = std::get_if<std::int64_t>(&value))
            return kind ^ std::hash<std::int64_t>()(*i);
        if (auto d = std::get_if<double>(&value))
            return kind ^ std::hash<double>()(*d);
        if (auto s = std::get_if<std::string>(&value))
            return kind ^ std::hash<std::string>()(*s);
        if (auto data = std::get_if<Data>(&value)) {
            return kind ^ std::hash<std::string_view>()(std::string_view(
                              reinterpret_cast<const char*>(data->data()), data->size()));
        }
        return kind;
    }
};

int indexKey(int entityIndex, int propertyIndex) {
    return entityIndex * kMaxProperties + propertyIndex;
}

}  // namespace

// The records of an entity by the value of one attribute. Most values belong to a single record
// (every timing has an end date of its own), so a bucket holds its first record in place and
// only a value shared by several records gets a set. A bucket with a set keeps that set, in the
// set's order, until its last member leaves.
struct ManagedObjectContext::AttributeIndex {
    struct Bucket {
        ManagedObject* single = nullptr;
        std::unique_ptr<ObjectSet> shared;

        std::span<ManagedObject* const> members() const {
            if (shared)
                return std::span<ManagedObject* const>(shared->begin(), shared->end());
            return std::span<ManagedObject* const>(&single, 1);
        }
    };
    std::unordered_map<Value, Bucket, ValueHash> buckets;

    void add(ManagedObject* object, Value value) {
        auto [bucket, isNew] = buckets.try_emplace(std::move(value));
        Bucket& entry = bucket->second;
        if (isNew) {
            entry.single = object;
        } else if (entry.shared) {
            entry.shared->insert(object);
        } else if (entry.single != object) {
            entry.shared = std::make_unique<ObjectSet>();
            entry.shared->appendUnchecked(entry.single);
            entry.shared->appendUnchecked(object);
            entry.single = nullptr;
        }
    }
    void remove(ManagedObject* object, const Value& value) {
        auto bucket = buckets.find(value);
        if (bucket == buckets.end())
            return;
        Bucket& entry = bucket->second;
        if (entry.shared) {
            entry.shared->erase(object);
            if (entry.shared->empty())
                buckets.erase(bucket);
        } else if (entry.single == object) {
            buckets.erase(bucket);
        }
    }
};

std::span<ManagedObject* const> ManagedObjectContext::indexedObjects(
    const EntityDescription& entity, int propertyIndex, const Value& value) const {
    const PropertyDescription& property = entity.properties[propertyIndex];
    auto& slot = indexes_[indexKey(entity.index, propertyIndex)];
    if (!slot) {
        slot = std::make_unique<AttributeIndex>();
        const ObjectSet& live = liveByEntity_[entity.index];
        slot->buckets.reserve(live.size());
        for (ManagedObject* object : live)
            slot->add(object, property.get(*object));
    }
    auto bucket = slot->buckets.find(value);
    if (bucket == slot->buckets.end())
        return {};
    return bucket->second.members();
}

void ManagedObjectContext::dropIndexes() {
    indexes_.clear();
}

void ManagedObjectContext::attributeWillChange(ManagedObject* object, int propertyIndex,
                                               const Value& oldValue, const Value& newValue) {
    if (indexes_.empty() || object->deleted_)
        return;
    auto found = indexes_.find(indexKey(object->entity().index, propertyIndex));
    if (found == indexes_.end())
        return;
    found->second->remove(object, oldValue);
    found->second->add(object, newValue);
}

ManagedObjectContext::ManagedObjectContext(const ManagedObjectModel& model)
    : model_(&model),
      keys_(std::make_shared<PrimaryKeyAllocator>(model.entities().size())),
      storeIdentifier_(makeUuid()),
      liveByEntity_(model.entities().size()),
      byKey_(model.entities().size()) {}

ManagedObjectContext::~ManagedObjectContext() {
    // Undo actions point at records; drop them before the records go.
    undoManager_.reset();
}

Result<std::unique_ptr<ManagedObjectContext>> ManagedObjectContext::openMainContext(
    std::shared_ptr<PersistentStore> store) {
    auto context = std::make_unique<ManagedObjectContext>(store->model());
    context->store_ = store;
    context->storeIdentifier_ = store->storeIdentifier();
    Status loaded = store->loadInto(*context);
    if (!loaded)
        return loaded.error();
    return context;
}

void ManagedObjectContext::setUndoManager(std::unique_ptr<ZRUndoManager> undoManager) {
    undoManager_ = std::move(undoManager);
}

bool ManagedObjectContext::undoRegistrationEnabled() const {
    return undoManager_ && undoManager_->isUndoRegistrationEnabled();
}

void ManagedObjectContext::registerUndo(std::function<void()> action) {
    if (undoRegistrationEnabled())
        undoManager_->registerUndo(std::move(action));
}

// --- Records ------------------------------------------------------------------------------

ManagedObject* ManagedObjectContext::adopt(std::unique_ptr<ManagedObject> object,
                                           std::int64_t primaryKey, bool persisted) {
    ManagedObject* raw = object.get();
    raw->context_ = this;
    raw->primaryKey_ = primaryKey;
    raw->persisted_ = persisted;
    owned_.push_back(std::move(object));
    registerLive(raw);
    return raw;
}

void ManagedObjectContext::reserveRecords(int entityIndex, std::size_t count) {
    owned_.reserve(owned_.size() + count);
    liveByEntity_[entityIndex].reserve(liveByEntity_[entityIndex].size() + count);
    byKey_[entityIndex].reserve(byKey_[entityIndex].size() + count);
}

void ManagedObjectContext::registerLive(ManagedObject* object) {
    const int e = object->entity().index;
    // A live record is never registered twice (adopt, revive and rollback only register records
    // that are not live), so the membership test that would build the set's index is skipped.
    liveByEntity_[e].appendUnchecked(object);
    byKey_[e][object->primaryKey_] = object;
    for (auto& [key, index] : indexes_) {
        if (key / kMaxProperties == e)
            index->add(object, object->entity().properties[key % kMaxProperties].get(*object));
    }
}

void ManagedObjectContext::unregisterLive(ManagedObject* object) {
    const int e = object->entity().index;
    liveByEntity_[e].erase(object);
    auto found = byKey_[e].find(object->primaryKey_);
    if (found != byKey_[e].end() && found->second == object)
        byKey_[e].erase(found);
    for (auto& [key, index] : indexes_) {
        if (key / kMaxProperties == e)
            index->remove(object, object->entity().properties[key % kMaxProperties].get(*object));
    }
}

const ObjectSet& ManagedObjectContext::registeredObjects(const EntityDescription& entity) const {
    return liveByEntity_[entity.index];
}

ManagedObject* ManagedObjectContext::insertNewObject(const EntityDescription& entity) {
    ManagedObject* object = adopt(entity.create(), keys_->next(entity.index), false);
    // A record just made is in no set yet.
    insertedObjects_.appendUnchecked(object);
    pendingInserted_.appendUnchecked(object);
    registerUndo([this, object] { deleteObject(object); });
    return object;
}

void ManagedObjectContext::deleteObject(ManagedObject* object) {
    if (!object || object->context_ != this || object->deleted_)
        return;
    // Nullify every relationship first, so undo restores them after the record is back.
    for (const PropertyDescription& p : object->entity().properties) {
        if (p.kind == PropertyKind::ToOne) {
            object->linkToOne(p.index, nullptr);
        } else if (p.kind == PropertyKind::ToMany) {
            const std::vector<ManagedObject*> members = p.toMany(*object).items();
            for (ManagedObject* member : members)
                object->linkRemove(p.index, member);
        }
    }
    markDeleted(object);
}

// Deletion and insertion are each other's undo: an undone insert is a record that leaves the
// graph, an undone delete one that comes back. An undone insert goes through deleteObject: links
// made to the record while registration was off (repairs, imports) have no undo action of their
// own, and would otherwise keep pointing at a record that is gone.
void ManagedObjectContext::markDeleted(ManagedObject* object) {
    if (object->deleted_)
        return;
    object->deleted_ = true;
    unregisterLive(object);
    insertedObjects_.erase(object);
    pendingInserted_.erase(object);
    if (object->persisted_) {
        deletedObjects_.insert(object);
        pendingDeleted_.insert(object);
    }
    registerUndo([this, object] { revive(object); });
}

void ManagedObjectContext::revive(ManagedObject* object) {
    if (!object->deleted_)
        return;
    object->deleted_ = false;
    registerLive(object);
    if (object->persisted_) {
        deletedObjects_.erase(object);
        pendingDeleted_.erase(object);
    } else {
        insertedObjects_.insert(object);
        pendingInserted_.insert(object);
    }
    registerUndo([this, object] { deleteObject(object); });
}

ManagedObject* ManagedObjectContext::objectWithID(const ObjectID& id) const {
    if (id.entityIndex < 0 || id.entityIndex >= static_cast<int>(byKey_.size()))
        return nullptr;
    auto found = byKey_[id.entityIndex].find(id.primaryKey);
    return found == byKey_[id.entityIndex].end() ? nullptr : found->second;
}

ManagedObject* ManagedObjectContext::objectWithURI(std::string_view uri) const {
    constexpr std::string_view scheme = "x-ravelong://";
    if (uri.substr(0, scheme.size()) != scheme)
        return nullptr;
    uri.remove_prefix(scheme.size());
    const auto firstSlash = uri.find('/');
    if (firstSlash == std::string_view::npos || uri.substr(0, firstSlash) != storeIdentifier_) {
        return nullptr;
    }
    uri.remove_prefix(firstSlash + 1);
    const auto secondSlash = uri.find('/');
    if (secondSlash == std::string_view::npos)
        return nullptr;
    const EntityDescription* entity = model_->entity(uri.substr(0, secondSlash));
    std::string_view key = uri.substr(secondSlash + 1);
    if (!entity || key.size() < 2 || key.front() != 'p')
        return nullptr;
    key.remove_prefix(1);
    std::int64_t primaryKey = 0;
    auto [end, error] = std::from_chars(key.data(), key.data() + key.size(), primaryKey);
    if (error != std::errc() || end != key.data() + key.size())
        return nullptr;
    return objectWithID(ObjectID{entity->index, primaryKey});
}

// --- Change tracking ----------------------------------------------------------------------

void ManagedObjectContext::objectDidChange(ManagedObject* object) {
    if (object->persisted_ && !object->deleted_) {
        updatedCandidates_.insert(object);
        pendingUpdated_.insert(object);
    }
}

std::vector<ManagedObject*> ManagedObjectContext::updatedObjects() const {
    std::vector<ManagedObject*> result;
    for (ManagedObject* object : updatedCandidates_) {
        if (object->isUpdated())
            result.push_back(object);
    }
    return result;
}

bool ManagedObjectContext::hasChanges() const {
    if (!insertedObjects_.empty() || !deletedObjects_.empty())
        return true;
    for (ManagedObject* object : updatedCandidates_) {
        if (object->isUpdated())
            return true;
    }
    return false;
}

ChangeSet ManagedObjectContext::takePendingChanges() {
    ChangeSet changes;
    for (ManagedObject* object : pendingInserted_) {
        if (object->isInserted())
            changes.inserted.push_back(object);
    }
    for (ManagedObject* object : pendingUpdated_) {
        if (object->persisted_ && !object->deleted_ && object->changes_ &&
            object->changes_->pendingMask) {
            changes.updated.push_back({object, object->changes_->pendingMask});
        }
    }
    for (ManagedObject* object : pendingDeleted_) {
        if (object->deleted_ && object->persisted_)
            changes.deleted.push_back(object);
    }
    for (ManagedObject* object : pendingInserted_)
        object->clearPending();
    for (ManagedObject* object : pendingUpdated_)
        object->clearPending();
    pendingInserted_.clear();
    pendingUpdated_.clear();
    pendingDeleted_.clear();
    return changes;
}

void ManagedObjectContext::processPendingChanges() {
    if (undoManager_)
        undoManager_->endImplicitGroup();
    ChangeSet changes = takePendingChanges();
    if (objectsDidChange_ && !changes.empty())
        objectsDidChange_(changes);
}

ChangeSet ManagedObjectContext::currentChanges() const {
    ChangeSet changes;
    changes.inserted = insertedObjects_.items();
    for (ManagedObject* object : updatedCandidates_) {
        if (object->isUpdated())
            changes.updated.push_back({object, object->changes_->changedMask});
    }
    changes.deleted = deletedObjects_.items();
    return changes;
}

void ManagedObjectContext::clearAllChanges() {
    for (ManagedObject* object : insertedObjects_) {
        object->persisted_ = true;
        object->clearChanges();
    }
    for (ManagedObject* object : updatedCandidates_)
        object->clearChanges();
    for (ManagedObject* object : deletedObjects_) {
        object->persisted_ = false;  // gone from the store; undo may bring it back as an insert
        object->clearChanges();
    }
    insertedObjects_.clear();
    updatedCandidates_.clear();
    deletedObjects_.clear();
}

Status ManagedObjectContext::save() {
    processPendingChanges();
    if (!hasChanges())
        return Status::success();
    ChangeSet changes = currentChanges();
    if (parent_) {
        ChildChanges childChanges = collectChildChanges();
        pushIntoParent(childChanges);
    } else if (store_) {
        Status written = store_->save(changes);
        if (!written)
            return written;
    }
    clearAllChanges();
    if (didSave_)
        didSave_(changes);
    return Status::success();
}

void ManagedObjectContext::pushIntoParent(ChildChanges& changes) {
    ManagedObjectContext* parent = parent_;
    if (MainLoop::current().isMainThread()) {
        parent->mergeChildChanges(changes);
        return;
    }
    // The parent lives on the main thread; wait until it has taken our changes.
    std::promise<void> merged;
    MainLoop::current().runOnMainThread([&] {
        parent->mergeChildChanges(changes);
        merged.set_value();
    });
    merged.get_future().wait();
}

Status ManagedObjectContext::saveAndRelease() {
    if (!parent_)
        return save();
    processPendingChanges();
    // Nothing goes to the parent: the records are freed with the child, wherever that happens.
    if (!hasChanges())
        return Status::success();
    // The changes name records by ObjectID, and the records made here go over whole: what
    // stays behind (the copy of the parent's graph) is freed before the parent takes them in.
    ChildChanges changes = collectChildChanges(false);
    handOverInsertedRecords(changes);
    reset();
    pushIntoParent(changes);
    return Status::success();
}

void ManagedObjectContext::rollback() {
    dropIndexes();  // values may change below without going through the index
    if (undoManager_)
        undoManager_->removeAllActions();
    std::vector<ManagedObject*> touched = updatedCandidates_.items();
    for (ManagedObject* object : deletedObjects_)
        touched.push_back(object);
    for (ManagedObject* object : touched) {
        if (!object->changes_)
            continue;
        for (const auto& [index, value] : object->changes_->committed) {
            object->entity().properties[index].setPrimitive(*object, value);
        }
        for (const ToManyDiff& diff : object->changes_->toManyDiffs) {
            ObjectSet& set = object->entity().properties[diff.propertyIndex].toMany(*object);
            for (ManagedObject* member : diff.added)
                set.erase(member);
            for (ManagedObject* member : diff.removed)
                set.insert(member);
        }
    }
    for (ManagedObject* object : deletedObjects_) {
        object->deleted_ = false;
        registerLive(object);
    }
    for (ManagedObject* object : insertedObjects_) {
        object->deleted_ = true;
        object->persisted_ = false;
        unregisterLive(object);
    }
    for (ManagedObject* object : touched)
        object->clearChanges();
    for (ManagedObject* object : insertedObjects_)
        object->clearChanges();
    insertedObjects_.clear();
    updatedCandidates_.clear();
    deletedObjects_.clear();
    pendingInserted_.clear();
    pendingUpdated_.clear();
    pendingDeleted_.clear();
}

void ManagedObjectContext::reset() {
    dropIndexes();  // values may change below without going through the index
    if (undoManager_)
        undoManager_->removeAllActions();
    insertedObjects_.clear();
    updatedCandidates_.clear();
    deletedObjects_.clear();
    pendingInserted_.clear();
    pendingUpdated_.clear();
    pendingDeleted_.clear();
    for (auto& live : liveByEntity_)
        live.clear();
    for (auto& keys : byKey_)
        keys.clear();
    owned_.clear();
    if (store_) {
        Status loaded = store_->loadInto(*this);
        (void)loaded;  // a store that loaded once reads again; failures are logged by the store
    }
}

}  // namespace ravelong
