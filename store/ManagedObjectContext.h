#pragma once

#include <algorithm>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "foundation/Error.h"
#include "store/ChangeSet.h"
#include "store/FetchRequest.h"
#include "store/ManagedObject.h"
#include "store/ManagedObjectModel.h"

namespace ravelong {

class PersistentStore;
class ZRUndoManager;
class ManagedObjectContext;
struct ChildChanges;

class PrimaryKeyAllocator;

// The application object that a context reports to (it owns the single save path).
class ContextDelegate {
public:
    virtual ~ContextDelegate() = default;
    virtual bool saveContext(ManagedObjectContext& context) = 0;
};

// A view of the object graph with its own unsaved changes, and the owner of its records.
//
// A root context is bound to a persistent store (or to none, for scratch graphs); save() writes
// its changes to the store in one transaction. A child context starts as a copy of its parent's
// current state; its save() pushes its changes into the parent (on the parent's thread), where a
// property that the parent changed since the child was made keeps the parent's value.
//
// A context is used by one thread at a time. The main context lives on the main thread; a child
// may be handed to a worker thread after it has been created.
class ManagedObjectContext {
public:
    explicit ManagedObjectContext(const ManagedObjectModel& model);
    ~ManagedObjectContext();
    ManagedObjectContext(const ManagedObjectContext&) = delete;
    ManagedObjectContext& operator=(const ManagedObjectContext&) = delete;

    // Opens a root context on `store` and reads every record of the file into it.
    static Result<std::unique_ptr<ManagedObjectContext>> openMainContext(
        std::shared_ptr<PersistentStore> store);

    // A child of this context holding a copy of its current state. Call on this context's thread.
    std::unique_ptr<ManagedObjectContext> newChildContext();

    const ManagedObjectModel& model() const { return *model_; }
    ManagedObjectContext* parentContext() const { return parent_; }
    PersistentStore* persistentStore() const { return store_.get(); }

    // Records.
    ManagedObject* insertNewObject(const EntityDescription& entity);
    template <class T>
    T* insertNewObject() {
        return static_cast<T*>(insertNewObject(T::entityDescription()));
    }
    // Deletes a record: it is removed from every relationship that points at it. Deleting a
    // record twice, or one of another context, does nothing.
    void deleteObject(ManagedObject* object);

    // Every live (not deleted) record of an entity, in a stable but unspecified order.
    const ObjectSet& registeredObjects(const EntityDescription& entity) const;

    template <class T>
    std::vector<T*> fetch(const FetchRequest<T>& request) const;
    template <class T>
    std::vector<T*> fetchAll() const {
        return fetch(FetchRequest<T>{});
    }
    template <class T>
    std::size_t count(const std::function<bool(const T&)>& predicate = {}) const;

    // The live records of T whose attribute `propertyIndex` equals `value`, found through a hash
    // index that is built on the first such query and kept up to date from then on. Use it for
    // look-ups that run often (a record by uuid, the running timings); order unspecified.
    template <class T>
    std::vector<T*> objectsWithValue(int propertyIndex, const Value& value) const {
        const std::span<ManagedObject* const> found =
            indexedObjects(T::entityDescription(), propertyIndex, value);
        std::vector<T*> result;
        result.reserve(found.size());
        for (ManagedObject* object : found)
            result.push_back(static_cast<T*>(object));
        return result;
    }
    template <class T>
    T* firstObjectWithValue(int propertyIndex, const Value& value) const {
        const std::span<ManagedObject* const> found =
            indexedObjects(T::entityDescription(), propertyIndex, value);
        return found.empty() ? nullptr : static_cast<T*>(found.front());
    }

    ManagedObject* objectWithID(const ObjectID& id) const;
    // The live record a URI from ManagedObject::uriRepresentation names, or nullptr when it does
    // not exist (deleted, never saved elsewhere, malformed text, another store).
    ManagedObject* objectWithURI(std::string_view uri) const;

    // Changes.
    bool hasChanges() const;
    std::vector<ManagedObject*> insertedObjects() const { return insertedObjects_.items(); }
    std::vector<ManagedObject*> updatedObjects() const;
    std::vector<ManagedObject*> deletedObjects() const { return deletedObjects_.items(); }
    // Closes the current implicit undo group and reports the changes made since the previous
    // call to the objects-did-change handler.
    void processPendingChanges();
    // Writes the changes to the store (root) or into the parent (child). On failure nothing is
    // written and the unsaved changes stay in place.
    Status save();
    // For a child whose work is done (an import read on it): saves into the parent as save()
    // does, but forgets its records before the parent makes copies of them, so that a large
    // import is never held twice over; then the child is empty (pointers to its records dangle).
    // No did-save report. Without changes it keeps its records. A root context simply saves.
    Status saveAndRelease();
    // Forgets every unsaved change: inserted records are dropped, deleted ones come back and
    // changed values return to their saved state. Clears the undo stack.
    void rollback();
    // Forgets every record (pointers to them become invalid) and reloads nothing; the next
    // fetch sees an empty graph unless the context is a root on a store, which is read again.
    void reset();

    void setObjectsDidChangeHandler(std::function<void(const ChangeSet&)> handler) {
        objectsDidChange_ = std::move(handler);
    }
    void setDidSaveHandler(std::function<void(const ChangeSet&)> handler) {
        didSave_ = std::move(handler);
    }

    ZRUndoManager* undoManager() const { return undoManager_.get(); }
    void setUndoManager(std::unique_ptr<ZRUndoManager> undoManager);

    ContextDelegate* delegate() const { return delegate_; }
    void setDelegate(ContextDelegate* delegate) { delegate_ = delegate; }

    // Identifies the store in object URIs ("x-ravelong://<id>/<Entity>/p<key>").
    const std::string& storeIdentifier() const { return storeIdentifier_; }

private:
    friend class ManagedObject;
    friend class PersistentStore;
    friend class StoreLoader;

    ManagedObject* adopt(std::unique_ptr<ManagedObject> object, std::int64_t primaryKey,
                         bool persisted);
    // For loading: room for `count` more records of an entity.
    void reserveRecords(int entityIndex, std::size_t count);
    // The object must not be live (new, deleted or rolled back).
    void registerLive(ManagedObject* object);
    void unregisterLive(ManagedObject* object);
    void objectDidChange(ManagedObject* object);
    void registerUndo(std::function<void()> action);
    bool undoRegistrationEnabled() const;
    void markDeleted(ManagedObject* object);
    void revive(ManagedObject* object);
    void clearAllChanges();
    ChangeSet takePendingChanges();
    // The members of the index bucket of `value`; valid until the graph changes.
    std::span<ManagedObject* const> indexedObjects(const EntityDescription& entity,
                                                   int propertyIndex, const Value& value) const;
    void attributeWillChange(ManagedObject* object, int propertyIndex, const Value& oldValue,
                             const Value& newValue);
    void dropIndexes();
    ChangeSet currentChanges() const;
    // The changes a save pushes; without `withInserted` the inserted records are left out (they
    // are handed over whole).
    ChildChanges collectChildChanges(bool withInserted = true) const;
    // Moves the records inserted here (and live) into `changes.handedOver`, their links to the
    // rest of the graph into `changes.handedOverLinks`. Only for a child about to be reset.
    void handOverInsertedRecords(ChildChanges& changes);
    void mergeChildChanges(ChildChanges& changes);
    // Hands `changes` to the parent on the parent's thread and waits until it has taken them.
    void pushIntoParent(ChildChanges& changes);

    const ManagedObjectModel* model_;
    std::shared_ptr<PersistentStore> store_;
    std::shared_ptr<PrimaryKeyAllocator> keys_;
    ManagedObjectContext* parent_ = nullptr;
    std::string storeIdentifier_;

    // Owner of every record ever made here (deleted ones stay alive for undo).
    std::vector<std::unique_ptr<ManagedObject>> owned_;
    std::vector<ObjectSet> liveByEntity_;
    std::vector<std::unordered_map<std::int64_t, ManagedObject*>> byKey_;

    ObjectSet insertedObjects_;
    ObjectSet updatedCandidates_;
    ObjectSet deletedObjects_;
    ObjectSet pendingInserted_;
    ObjectSet pendingUpdated_;
    ObjectSet pendingDeleted_;

    struct AttributeIndex;
    // Keyed by entity index * kMaxProperties + property index.
    mutable std::unordered_map<int, std::unique_ptr<AttributeIndex>> indexes_;

    std::unique_ptr<ZRUndoManager> undoManager_;
    ContextDelegate* delegate_ = nullptr;
    std::function<void(const ChangeSet&)> objectsDidChange_;
    std::function<void(const ChangeSet&)> didSave_;
};

template <class T>
std::vector<T*> ManagedObjectContext::fetch(const FetchRequest<T>& request) const {
    std::vector<T*> result;
    for (ManagedObject* object : registeredObjects(T::entityDescription())) {
        T* record = static_cast<T*>(object);
        if (!request.predicate || request.predicate(*record))
            result.push_back(record);
    }
    if (!request.sortDescriptors.empty()) {
        auto less = [&](const T* a, const T* b) {
            for (const auto& descriptor : request.sortDescriptors) {
                const int order = descriptor(*a, *b);
                if (order != 0)
                    return order < 0;
            }
            return false;
        };
        if (request.fetchLimit > 0 && request.fetchLimit < result.size()) {
            std::partial_sort(result.begin(), result.begin() + request.fetchLimit, result.end(),
                              less);
        } else {
            std::stable_sort(result.begin(), result.end(), less);
        }
    }
    if (request.fetchLimit > 0 && result.size() > request.fetchLimit) {
        result.resize(request.fetchLimit);
    }
    return result;
}

template <class T>
std::size_t ManagedObjectContext::count(const std::function<bool(const T&)>& predicate) const {
    const ObjectSet& objects = registeredObjects(T::entityDescription());
    if (!predicate)
        return objects.size();
    std::size_t n = 0;
    for (ManagedObject* object : objects)
        n += predicate(*static_cast<T*>(object)) ? 1 : 0;
    return n;
}

}  // namespace ravelong
