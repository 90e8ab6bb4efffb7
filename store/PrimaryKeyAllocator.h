#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace ravelong {

// Hands out primary keys per entity, starting above the largest key in the store. Shared by a
// root context and its children so that records inserted anywhere never collide. Thread-safe.
class PrimaryKeyAllocator {
public:
    explicit PrimaryKeyAllocator(std::size_t entityCount);

    std::int64_t next(int entityIndex) { return counters_[entityIndex]->fetch_add(1) + 1; }
    // The largest key handed out or reserved so far (0 when none).
    std::int64_t current(int entityIndex) const { return counters_[entityIndex]->load(); }
    // Makes sure keys up to `key` are never handed out.
    void reserveUpTo(int entityIndex, std::int64_t key);

private:
    std::vector<std::unique_ptr<std::atomic<std::int64_t>>> counters_;
};

}  // namespace ravelong
