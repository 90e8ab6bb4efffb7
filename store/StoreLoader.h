#pragma once

#include <cstdint>
#include <string>

#include "foundation/Error.h"
#include "store/EntityDescription.h"
#include "store/SqliteDatabase.h"

namespace ravelong {

class ManagedObjectContext;

// Reads the records of a store file into a context: every table in one read transaction (or in
// the caller's, when one is open), the links resolved once every record is in. References to
// records that are missing are dropped and logged; they do not fail the load.
class StoreLoader {
public:
    StoreLoader() = delete;

    // Reads every record of `db` into an empty context. On failure the context holds what was
    // read up to the failure and the error is ReadFailed.
    static Status loadRecords(SqliteDatabase& db, ManagedObjectContext& context);

    // Keys are never handed out twice, also not after a restart: a record made later must not
    // take over the object URI of one that was deleted. The file keeps the largest key of each
    // entity that a save has seen in Z_METADATA under this name.
    static std::string maximumKeyName(const EntityDescription& entity);
    // That key as stored in `db`, 0 when there is none.
    static std::int64_t savedMaximumKey(SqliteDatabase& db, const EntityDescription& entity);
};

}  // namespace ravelong
