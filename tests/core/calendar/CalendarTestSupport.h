#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/calendar/CalendarTypes.h"
#include "foundation/Instant.h"

// Reference values for the calendar tests, computed with ICU's own GregorianCalendar rather than
// with the code under test.
namespace ravelong::testing {

// The instant at which the wall clock in `zone` reads the given time. A wall time that occurs
// twice gives the first occurrence unless `laterOccurrence` is set.
Instant wallTime(std::string_view zone, int year, int month, int day, int hour = 0, int minute = 0,
                 int second = 0, bool laterOccurrence = false);

// The day number of a calendar day (days since 1970-01-01).
ZRDate dayNumber(int year, int month, int day);

// Sets an environment variable of the zone lookups (TZ, TZDIR) for its scope, and puts the old
// value back.
class ScopedZoneVariable {
public:
    ScopedZoneVariable(const char* name, const std::string& value);
    ~ScopedZoneVariable();
    ScopedZoneVariable(const ScopedZoneVariable&) = delete;
    ScopedZoneVariable& operator=(const ScopedZoneVariable&) = delete;

private:
    const char* name_;
    std::optional<std::string> saved_;
};

// The C library's reading of a TZ value (a zone name or a rule), which reads the zone files on
// its own: the reference for what the system's database and the rules say.
class CLibraryZone {
public:
    explicit CLibraryZone(const std::string& tz) : tz_("TZ", tz) {}
    static std::int32_t offsetAt(std::int64_t unixSeconds);

private:
    ScopedZoneVariable tz_;
};

}  // namespace ravelong::testing
