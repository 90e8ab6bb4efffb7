#pragma once

#include <filesystem>
#include <string>

#include "foundation/Error.h"
#include "store/StoreError.h"

// What to tell the user when a store file cannot be read or written: what happened, in which
// folder, and what the user can do about it.
namespace ravelong::store_failures {

// The error for a failure of kind `code` on `file` while doing `what` (a sentence such as "The
// changes could not be saved."). DiskFull, NoPermission (`file` being the file or folder that
// may not be written), ReadOnlyFileSystem, Busy (naming the processes that hold the file) and
// Damaged get texts of their own; any other code keeps `what` as the description. `detail`
// (SQLite's or the system's message) ends the reason when not empty.
Error describe(StoreErrorCode code, const std::filesystem::path& file, const std::string& what,
               const std::string& detail = {});

}  // namespace ravelong::store_failures
