#pragma once

#include <string>

#include "foundation/Error.h"

namespace ravelong {

inline constexpr const char* kStoreErrorDomain = "org.ravelong.store";

// Codes of kStoreErrorDomain.
enum class StoreErrorCode {
    CannotOpen = 1,         // the file or its folder cannot be opened or created
    NotAStore = 2,          // the file exists but is not a Ravelong store
    NewerModelVersion = 3,  // written by a newer Ravelong; left untouched
    Locked = 4,             // another Ravelong process has the store open
    NoMigrationPath = 5,    // an older version that this build cannot upgrade
    MigrationFailed = 6,    // the upgrade failed; the old file is unchanged
    SaveFailed = 7,         // the save was rolled back; the file is unchanged
    ReadFailed = 8,         // reading the records failed
};

inline Error storeError(StoreErrorCode code, std::string description, std::string reason = {}) {
    return Error{kStoreErrorDomain, static_cast<int>(code), std::move(description),
                 std::move(reason)};
}

}  // namespace ravelong
