#pragma once

#include <cstddef>

namespace ravelong {

class ManagedObjectContext;

// Rewrites task colours (ZRCDTask::taskColor) kept in an older form. Returns whether it changed
// anything, saves nothing, and is meant to run with undo registration off. Main thread only.
namespace store_repairs {

// A colour of 11 bytes or more is an archived colour object of another platform's toolkit, which
// no store made on this system holds and which cannot be decoded here: it becomes black in the
// 4-byte form (red, green and blue 0). Shorter data is left alone.
bool migrateColors_inContext(ManagedObjectContext& context);
inline constexpr std::size_t kArchivedColorMinimumBytes = 11;

}  // namespace store_repairs
}  // namespace ravelong
