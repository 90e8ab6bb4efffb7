#include "store/PrimaryKeyAllocator.h"

namespace ravelong {

PrimaryKeyAllocator::PrimaryKeyAllocator(std::size_t entityCount) {
    for (std::size_t i = 0; i < entityCount; ++i) {
        counters_.push_back(std::make_unique<std::atomic<std::int64_t>>(0));
    }
}

void PrimaryKeyAllocator::reserveUpTo(int entityIndex, std::int64_t key) {
    auto& counter = *counters_[entityIndex];
    std::int64_t current = counter.load();
    while (current < key && !counter.compare_exchange_weak(current, key)) {
    }
}

}  // namespace ravelong
