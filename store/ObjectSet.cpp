#include "store/ObjectSet.h"

#include <algorithm>
#include <cstdint>

namespace ravelong {

namespace {

std::size_t slotCountFor(std::size_t members) {
    std::size_t count = 64;
    while (count < members * 2)
        count *= 2;
    return count;
}

std::size_t hashOf(const ManagedObject* member) {
    // Records are allocated at least 16 bytes apart; mix the address so that neighbours spread.
    auto bits = reinterpret_cast<std::uintptr_t>(member);
    bits ^= bits >> 29;
    bits *= 0x9E3779B97F4A7C15ull;
    return static_cast<std::size_t>(bits ^ (bits >> 32));
}

}  // namespace

ObjectSet::ObjectSet(const ObjectSet& other) {
    reserve(other.size_);
    std::copy(other.begin(), other.end(), data());
    size_ = other.size_;
}

ObjectSet& ObjectSet::operator=(const ObjectSet& other) {
    if (this != &other) {
        ObjectSet copy(other);
        *this = std::move(copy);
    }
    return *this;
}

ObjectSet::ObjectSet(ObjectSet&& other) noexcept
    : storage_(other.storage_),
      size_(other.size_),
      capacity_(other.capacity_),
      slots_(std::move(other.slots_)) {
    other.storage_.single = nullptr;
    other.size_ = 0;
    other.capacity_ = 1;
}

ObjectSet& ObjectSet::operator=(ObjectSet&& other) noexcept {
    if (this != &other) {
        releaseMembers();
        storage_ = other.storage_;
        size_ = other.size_;
        capacity_ = other.capacity_;
        slots_ = std::move(other.slots_);
        other.storage_.single = nullptr;
        other.size_ = 0;
        other.capacity_ = 1;
    }
    return *this;
}

ObjectSet::~ObjectSet() {
    releaseMembers();
}

void ObjectSet::releaseMembers() {
    if (capacity_ > 1)
        delete[] storage_.many;
    storage_.single = nullptr;
    size_ = 0;
    capacity_ = 1;
}

void ObjectSet::growTo(std::size_t capacity) {
    if (capacity <= capacity_)
        return;
    auto* members = new ManagedObject*[capacity];
    std::copy(begin(), end(), members);
    if (capacity_ > 1)
        delete[] storage_.many;
    storage_.many = members;
    capacity_ = static_cast<std::uint32_t>(capacity);
}

void ObjectSet::dropIndex() {
    slots_.reset();
}

void ObjectSet::rebuildIndex(std::size_t slotCount) const {
    slots_ = std::make_unique<std::vector<Slot>>(slotCount, kEmptySlot);
    ManagedObject* const* members = data();
    for (std::size_t i = 0; i < size_; ++i)
        indexInsert(members[i], i);
}

void ObjectSet::buildIndexIfLarge() const {
    if (indexed() || size_ < kIndexThreshold)
        return;
    rebuildIndex(slotCountFor(size_));
}

std::size_t ObjectSet::slotOf(const ManagedObject* member) const {
    const std::vector<Slot>& slots = *slots_;
    const ManagedObject* const* members = data();
    const std::size_t mask = slots.size() - 1;
    for (std::size_t i = hashOf(member) & mask;; i = (i + 1) & mask) {
        if (slots[i] == kEmptySlot)
            return slots.size();
        if (members[slots[i]] == member)
            return i;
    }
}

// The caller guarantees that the member is not in the index and that the table has room.
void ObjectSet::indexInsert(ManagedObject* member, std::size_t position) const {
    std::vector<Slot>& slots = *slots_;
    const std::size_t mask = slots.size() - 1;
    std::size_t i = hashOf(member) & mask;
    while (slots[i] != kEmptySlot)
        i = (i + 1) & mask;
    slots[i] = static_cast<Slot>(position);
}

// Empties a slot and moves later members of its probe run back, so every lookup still finds
// its member before the first empty slot.
void ObjectSet::indexErase(std::size_t slot) {
    std::vector<Slot>& slots = *slots_;
    const ManagedObject* const* members = data();
    const std::size_t mask = slots.size() - 1;
    std::size_t hole = slot;
    for (std::size_t i = (slot + 1) & mask; slots[i] != kEmptySlot; i = (i + 1) & mask) {
        const std::size_t home = hashOf(members[slots[i]]) & mask;
        // The member at i may fill the hole when its home is not in (hole, i] cyclically.
        const bool homeBetween =
            hole <= i ? (home > hole && home <= i) : (home > hole || home <= i);
        if (!homeBetween) {
            slots[hole] = slots[i];
            hole = i;
        }
    }
    slots[hole] = kEmptySlot;
}

bool ObjectSet::contains(ManagedObject* object) const {
    buildIndexIfLarge();
    if (indexed())
        return slotOf(object) != slotCount();
    return std::find(begin(), end(), object) != end();
}

bool ObjectSet::insert(ManagedObject* object) {
    if (contains(object))
        return false;
    appendUnchecked(object);
    return true;
}

void ObjectSet::appendUnchecked(ManagedObject* object) {
    if (size_ == capacity_)
        growTo(std::size_t{capacity_} * 2);
    data()[size_++] = object;
    if (!indexed())
        return;
    if (std::size_t{size_} * 2 > slotCount())
        rebuildIndex(slotCount() * 2);
    else
        indexInsert(object, size_ - 1);
}

bool ObjectSet::erase(ManagedObject* object) {
    buildIndexIfLarge();
    ManagedObject** members = data();
    if (!indexed()) {
        // Small sets keep their order exactly.
        ManagedObject** found = std::find(members, members + size_, object);
        if (found == members + size_)
            return false;
        std::copy(found + 1, members + size_, found);
        --size_;
        return true;
    }
    const std::size_t slot = slotOf(object);
    if (slot == slotCount())
        return false;
    const std::size_t position = (*slots_)[slot];
    indexErase(slot);
    const std::size_t last = size_ - 1;
    if (position != last) {
        // The last member moves into the gap: its slot, found while it is still last, follows.
        (*slots_)[slotOf(members[last])] = static_cast<Slot>(position);
        members[position] = members[last];
    }
    --size_;
    return true;
}

void ObjectSet::reserve(std::size_t capacity) {
    growTo(capacity);
    if (indexed() && capacity * 2 > slotCount())
        rebuildIndex(slotCountFor(capacity));
}

void ObjectSet::clear() {
    releaseMembers();
    dropIndex();
}

}  // namespace ravelong
