#pragma once

#include <cstddef>
#include <functional>
#include <vector>

namespace ravelong {

// Orders two records: negative when `a` comes first, positive when `b` does, 0 when equal.
template <class T>
using SortDescriptor = std::function<int(const T& a, const T& b)>;

// A query over the records of one entity: which ones (all when no predicate), in which order
// (sort descriptors applied in turn; unspecified order when none), and how many at most (0 means
// no limit).
template <class T>
struct FetchRequest {
    std::function<bool(const T&)> predicate;
    std::vector<SortDescriptor<T>> sortDescriptors;
    std::size_t fetchLimit = 0;
};

// Sort descriptors from a member function or field of the record:
// `sortAscending<ZRCDTiming>(&ZRCDTiming::startDate)`.
template <class T, class Key>
SortDescriptor<T> sortAscending(Key key) {
    return [key](const T& a, const T& b) {
        const auto x = std::invoke(key, a);
        const auto y = std::invoke(key, b);
        return x < y ? -1 : (y < x ? 1 : 0);
    };
}

template <class T, class Key>
SortDescriptor<T> sortDescending(Key key) {
    return [key](const T& a, const T& b) {
        const auto x = std::invoke(key, a);
        const auto y = std::invoke(key, b);
        return y < x ? -1 : (x < y ? 1 : 0);
    };
}

}  // namespace ravelong
