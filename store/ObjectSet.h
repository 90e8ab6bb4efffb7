#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <vector>

namespace ravelong {

class ManagedObject;

// The members of a to-many relationship. Iteration order is deterministic (insertion order,
// except that removing from a large set moves the last member into the gap). Membership tests
// and removal are constant time once the set is large, because an index is built on demand.
class ObjectSet {
public:
    using const_iterator = ManagedObject* const*;

    ObjectSet() = default;
    // A copy carries the members only; its index is built again when it is first needed.
    ObjectSet(const ObjectSet& other);
    ObjectSet& operator=(const ObjectSet& other);
    // A moved-from set is empty and has no index.
    ObjectSet(ObjectSet&& other) noexcept;
    ObjectSet& operator=(ObjectSet&& other) noexcept;
    ~ObjectSet();

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const_iterator begin() const { return data(); }
    const_iterator end() const { return data() + size_; }
    std::vector<ManagedObject*> items() const { return {begin(), end()}; }

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
        ManagedObject** members = data();
        for (std::uint32_t i = 0; i < size_; ++i)
            members[i] = counterpart(members[i]);
        dropIndex();
    }
    void clear();

private:
    static constexpr std::size_t kIndexThreshold = 24;

    // Most sets of a large store hold one member (a timing's day aggregate, a day aggregate's
    // timing): that member is kept in place of the pointer to the members, so such a set needs
    // no allocation, and the whole set is three words.
    ManagedObject** data() { return capacity_ <= 1 ? &storage_.single : storage_.many; }
    ManagedObject* const* data() const { return capacity_ <= 1 ? &storage_.single : storage_.many; }
    void growTo(std::size_t capacity);
    void releaseMembers();

    // The index: an open-addressing table (linear probing, at most half full) of positions in
    // the members, hashed by the member there. No table means no index. A slot is four bytes,
    // so that the index of a large set (every timing of an origin) costs less than its members.
    using Slot = std::uint32_t;
    static constexpr Slot kEmptySlot = ~Slot{0};
    bool indexed() const { return slots_ != nullptr; }
    void buildIndexIfLarge() const;
    void dropIndex();
    void rebuildIndex(std::size_t slotCount) const;
    std::size_t slotOf(const ManagedObject* member) const;  // slotCount() when absent
    std::size_t slotCount() const { return slots_ ? slots_->size() : 0; }
    void indexInsert(ManagedObject* member, std::size_t position) const;
    void indexErase(std::size_t slot);

    union Storage {
        ManagedObject* single;
        ManagedObject** many;
    };
    Storage storage_{nullptr};
    std::uint32_t size_ = 0;
    std::uint32_t capacity_ = 1;  // at most 1: the member is in storage_.single
    mutable std::unique_ptr<std::vector<Slot>> slots_;
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
