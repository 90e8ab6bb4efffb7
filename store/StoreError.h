#pragma once

#include <string>

#include "foundation/Error.h"

namespace ravelong {

inline constexpr const char* kStoreErrorDomain = "org.ravelong.store";

// Codes of kStoreErrorDomain.
enum class StoreErrorCode {
    CannotOpen = 1,           // the file or its folder cannot be opened or created
    NotAStore = 2,            // the file exists but is not a Ravelong store
    NewerModelVersion = 3,    // written by a newer Ravelong; left untouched
    Locked = 4,               // another Ravelong process has the store open
    NoMigrationPath = 5,      // an older version that this build cannot upgrade
    MigrationFailed = 6,      // the upgrade failed; the old file is unchanged
    SaveFailed = 7,           // the save was rolled back; the file is unchanged
    ReadFailed = 8,           // reading the records failed
    DiskFull = 9,             // the disk holding the store has no room left; nothing was written
    NoPermission = 10,        // the file, its folder or its -wal/-shm files may not be written
    ReadOnlyFileSystem = 11,  // the file system holding the store is mounted read-only
    Busy = 12,                // another process holds a lock on the file longer than we wait
    Damaged = 13,             // an SQLite file whose contents are damaged (truncated, corrupt)
};

inline Error storeError(StoreErrorCode code, std::string description, std::string reason = {}) {
    return Error{kStoreErrorDomain, static_cast<int>(code), std::move(description),
                 std::move(reason)};
}

}  // namespace ravelong
