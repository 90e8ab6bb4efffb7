#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/StoreLayouts.h"
#include "foundation/Error.h"
#include "foundation/Instant.h"
#include "store/SqliteDatabase.h"

namespace ravelong {

// Converts the timings of a version 13 or 14 file, which count their days in a fixed offset from
// GMT with the end of their last day (`maxDate`), into the version 15 shape, which names a time
// zone and the day cut-off in seconds:
//
//   offset 3600, maxDate 2014-05-02 04:00 at +01:00 (the day ran until 4 in the morning)
//     -> timezone "GMT+0100", newDayOffset 14400
//
// Every other field is copied; billing becomes 0 and modified the end date.
class ZRCDTimingV13OrV14ToV15MigrationPolicy {
public:
    // A timing as versions 13 and 14 stored it.
    struct SourceTiming {
        std::optional<Instant> endDate;
        std::optional<Instant> maxDate;
        std::optional<Instant> startDate;
        std::int64_t timezoneOffset = 0;  // seconds east of GMT; -1 (unknown) counts as 0
    };

    // The fields version 15 adds or derives; the rest is copied unchanged.
    struct DestinationFields {
        std::int16_t billing = 0;
        std::optional<Instant> modified;
        std::string timezone;
        std::int32_t newDayOffset = 0;
    };

    // The maxDate that means "none": 4000-01-01 00:00:00 UTC.
    static constexpr Instant kNoMaxDate = instantFromUnixTime(64060588800.0);

    // The conversion of one timing. Fails (naming nothing; the caller adds which timing) for an
    // offset of a day or more, which no time zone can have: turning it into GMT would move the
    // timing's days without anyone noticing.
    static Result<DestinationFields> createDestinationInstanceForSourceInstance(
        const SourceTiming& source);

    // A table conversion for layout_migration::migrate: fills the new ZRCDTiming table from the
    // old one, keeping every pk. A row whose dates or offset are not numbers, or whose offset is
    // refused above, stops the upgrade with an error naming the timing's uuid.
    static Status migrateTimings(SqliteDatabase& db, const std::string& sourceTable,
                                 const std::vector<std::string>& sourceColumns,
                                 const store_layouts::TableLayout& destination);
};

}  // namespace ravelong
