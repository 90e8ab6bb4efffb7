#include "store/ObjectSet.h"

#include <algorithm>

namespace ravelong {

ObjectSet& ObjectSet::operator=(const ObjectSet& other) {
    if (this != &other) {
        items_ = other.items_;
        index_.clear();
        indexed_ = false;
    }
    return *this;
}

void ObjectSet::buildIndexIfLarge() const {
    if (indexed_ || items_.size() < kIndexThreshold)
        return;
    index_.clear();
    index_.reserve(items_.size() * 2);
    for (std::size_t i = 0; i < items_.size(); ++i)
        index_.emplace(items_[i], i);
    indexed_ = true;
}

bool ObjectSet::contains(ManagedObject* object) const {
    buildIndexIfLarge();
    if (indexed_)
        return index_.count(object) != 0;
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
    if (indexed_)
        index_.emplace(object, items_.size() - 1);
}

bool ObjectSet::erase(ManagedObject* object) {
    buildIndexIfLarge();
    if (!indexed_) {
        // Small sets keep their order exactly.
        auto it = std::find(items_.begin(), items_.end(), object);
        if (it == items_.end())
            return false;
        items_.erase(it);
        return true;
    }
    auto found = index_.find(object);
    if (found == index_.end())
        return false;
    const std::size_t position = found->second;
    index_.erase(found);
    if (position != items_.size() - 1) {
        items_[position] = items_.back();
        index_[items_[position]] = position;
    }
    items_.pop_back();
    return true;
}

void ObjectSet::clear() {
    items_.clear();
    index_.clear();
    indexed_ = false;
}

}  // namespace ravelong
