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

ObjectSet& ObjectSet::operator=(const ObjectSet& other) {
    if (this != &other) {
        items_ = other.items_;
        dropIndex();
    }
    return *this;
}

void ObjectSet::dropIndex() {
    std::vector<Slot>().swap(slots_);
}

void ObjectSet::rebuildIndex(std::size_t slotCount) const {
    slots_.assign(slotCount, kEmptySlot);
    for (std::size_t i = 0; i < items_.size(); ++i)
        indexInsert(items_[i], i);
}

void ObjectSet::buildIndexIfLarge() const {
    if (indexed() || items_.size() < kIndexThreshold)
        return;
    rebuildIndex(slotCountFor(items_.size()));
}

std::size_t ObjectSet::slotOf(const ManagedObject* member) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hashOf(member) & mask;; i = (i + 1) & mask) {
        if (slots_[i] == kEmptySlot)
            return slots_.size();
        if (items_[slots_[i]] == member)
            return i;
    }
}

// The caller guarantees that the member is not in the index and that the table has room.
void ObjectSet::indexInsert(ManagedObject* member, std::size_t position) const {
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = hashOf(member) & mask;
    while (slots_[i] != kEmptySlot)
        i = (i + 1) & mask;
    slots_[i] = static_cast<Slot>(position);
}

// Empties a slot and moves later members of its probe run back, so every lookup still finds
// its member before the first empty slot.
void ObjectSet::indexErase(std::size_t slot) {
    const std::size_t mask = slots_.size() - 1;
    std::size_t hole = slot;
    for (std::size_t i = (slot + 1) & mask; slots_[i] != kEmptySlot; i = (i + 1) & mask) {
        const std::size_t home = hashOf(items_[slots_[i]]) & mask;
        // The member at i may fill the hole when its home is not in (hole, i] cyclically.
        const bool homeBetween =
            hole <= i ? (home > hole && home <= i) : (home > hole || home <= i);
        if (!homeBetween) {
            slots_[hole] = slots_[i];
            hole = i;
        }
    }
    slots_[hole] = kEmptySlot;
}

bool ObjectSet::contains(ManagedObject* object) const {
    buildIndexIfLarge();
    if (indexed())
        return slotOf(object) != slots_.size();
    return std::find(items_.begin(), items_.end(), object) != items_.end();
}

bool ObjectSet::insert(ManagedObject* object) {
    if (contains(object))
        return false;
    appendUnchecked(object);
    return true;
}

void ObjectSet::appendUnchecked(ManagedObject* object) {
    items_.push_back(object);
    if (!indexed())
        return;
    if (items_.size() * 2 > slots_.size())
        rebuildIndex(slots_.size() * 2);
    else
        indexInsert(object, items_.size() - 1);
}

bool ObjectSet::erase(ManagedObject* object) {
    buildIndexIfLarge();
    if (!indexed()) {
        // Small sets keep their order exactly.
        auto it = std::find(items_.begin(), items_.end(), object);
        if (it == items_.end())
            return false;
        items_.erase(it);
        return true;
    }
    const std::size_t slot = slotOf(object);
    if (slot == slots_.size())
        return false;
    const std::size_t position = slots_[slot];
    indexErase(slot);
    if (position != items_.size() - 1) {
        // The last member moves into the gap: its slot, found while it is still last, follows.
        slots_[slotOf(items_.back())] = static_cast<Slot>(position);
        items_[position] = items_.back();
    }
    items_.pop_back();
    return true;
}

void ObjectSet::reserve(std::size_t capacity) {
    items_.reserve(capacity);
    if (indexed() && capacity * 2 > slots_.size())
        rebuildIndex(slotCountFor(capacity));
}

void ObjectSet::clear() {
    items_.clear();
    dropIndex();
}

}  // namespace ravelong
