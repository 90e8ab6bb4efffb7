#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <vector>

namespace ravelong {

class ManagedObject;

// The members of a to-many relationship. Iteration order is deterministic (insertion order,
// except that removing from a large set moves the last member into the gap). Membership tests
// and removal are constant time once the set is large, because an index is built on demand.
class ObjectSet {
public:
    using const_iterator = std::vector<ManagedObject*>::const_iterator;

    ObjectSet() = default;
    // A copy carries the members only; its index is built again when it is first needed.
    ObjectSet(const ObjectSet& other) : items_(other.items_) {}
    // A moved-from set is empty and has no index.
    ObjectSet& operator=(const ObjectSet& other);
    ObjectSet(ObjectSet&&) noexcept = default;
    ObjectSet& operator=(ObjectSet&&) noexcept = default;

    std::size_t size() const { return items_.size(); }
    bool empty() const { return items_.empty(); }
    const_iterator begin() const { return items_.begin(); }
    const_iterator end() const { return items_.end(); }
    const std::vector<ManagedObject*>& items() const { return items_; }

    bool contains(ManagedObject* object) const;
    // Returns false when the object was already a member.
    bool insert(ManagedObject* object);
    // Returns false when the object was not a member.
    bool erase(ManagedObject* object);
    // For loading: the caller guarantees the object is not yet a member. Appending does not
    // build the index; the first membership test or removal does.
    void appendUnchecked(ManagedObject* object);
    void reserve(std::size_t capacity);
    // For copying a graph: every member is replaced by `counterpart(member)`, in place and in
    // the same order. The caller guarantees that distinct members have distinct counterparts.
    template <class F>
    void replaceEach(F&& counterpart) {
        for (ManagedObject*& member : items_)
            member = counterpart(member);
        dropIndex();
    }
    void clear();

private:
    static constexpr std::size_t kIndexThreshold = 24;

    // The index: an open-addressing table (linear probing, at most half full) of positions in
    // items_, hashed by the member there. No slots means no index. A slot is four bytes, so
    // that the index of a large set (every timing of an origin) costs less than its members.
    using Slot = std::uint32_t;
    static constexpr Slot kEmptySlot = ~Slot{0};
    bool indexed() const { return !slots_.empty(); }
    void buildIndexIfLarge() const;
    void dropIndex();
    void rebuildIndex(std::size_t slotCount) const;
    std::size_t slotOf(const ManagedObject* member) const;  // slots_.size() when absent
    void indexInsert(ManagedObject* member, std::size_t position) const;
    void indexErase(std::size_t slot);

    std::vector<ManagedObject*> items_;
    mutable std::vector<Slot> slots_;
};

// A typed, read-only view of an ObjectSet: `for (ZRCDTiming* timing : task->timings())`.
template <class T>
class ToMany {
public:
    explicit ToMany(const ObjectSet& set) : set_(&set) {}

    // A forward iterator, so that the standard algorithms take a relationship directly.
    class iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = T*;
        using difference_type = std::ptrdiff_t;
        using pointer = T* const*;
        using reference = T*;

        iterator() = default;
        explicit iterator(ObjectSet::const_iterator it) : it_(it) {}
        T* operator*() const { return static_cast<T*>(*it_); }
        iterator& operator++() {
            ++it_;
            return *this;
        }
        iterator operator++(int) {
            iterator old = *this;
            ++it_;
            return old;
        }
        bool operator==(const iterator& other) const { return it_ == other.it_; }

    private:
        ObjectSet::const_iterator it_;
    };

    iterator begin() const { return iterator(set_->begin()); }
    iterator end() const { return iterator(set_->end()); }
    std::size_t size() const { return set_->size(); }
    bool empty() const { return set_->empty(); }
    bool contains(const T* object) const {
        return set_->contains(
            const_cast<ManagedObject*>(static_cast<const ManagedObject*>(object)));
    }
    std::vector<T*> toVector() const {
        std::vector<T*> result;
        result.reserve(set_->size());
        for (ManagedObject* item : *set_)
            result.push_back(static_cast<T*>(item));
        return result;
    }

private:
    const ObjectSet* set_;
};

}  // namespace ravelong
