#pragma once

#include <unicode/uversion.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/calendar/CalendarTypes.h"
#include "core/calendar/ZoneRules.h"
#include "foundation/Error.h"
#include "foundation/Instant.h"

U_NAMESPACE_BEGIN
class Calendar;
U_NAMESPACE_END

namespace ravelong {

// A Gregorian calendar: a time zone, a locale (for names and formats) and the locale's week rules.
// A ZRCalendar is an immutable value, cheap to copy (it shares its state), and safe to use from
// any thread; "changing" a calendar means building another.
//
// The user's calendar (zrCalendar) is one such value kept in a process-wide slot. Readers take a
// snapshot; the setters and refreshUserCalendarFromEnvironment replace the slot atomically, so a
// background computation keeps the calendar it started with and a reader never sees half of a
// change. Call the refresh on the main thread when the desktop reports a new zone or locale.
class ZRCalendar {
public:
    // The calendar of `localeId` (an ICU locale such as "de_DE") in `zone`, with the locale's first
    // weekday and minimal days of the first week.
    static ZRCalendar forLocale(ZoneRef zone, std::string_view localeId);

    ZRCalendar(ZoneRef zone, std::string localeId, int firstWeekday, int minimalDaysInFirstWeek);

    // The user's calendar as of this call. On first use it is read from the environment.
    static ZRCalendar zrCalendar();

    // The calendar for operations that count in a timing's own zone: Gregorian, in the named zone
    // (unknown names count as GMT, see zones::named), with a neutral locale and weeks from Sunday.
    static ZRCalendar defaultGregorian(std::string_view timeZoneName);
    static ZRCalendar defaultGregorian(ZoneRef zone);

    // Re-reads the user's zone (TZ, else /etc/localtime, /etc/timezone) and locale (LC_ALL, else
    // LC_TIME, else LANG). The first weekday follows the new locale. An unusable TZ falls back to
    // the system zone, no usable zone at all to GMT, and a bad locale to "en_US_POSIX", each with
    // a logged warning (see host_calendar::hostTimeZone).
    static void refreshUserCalendarFromEnvironment();

    // Overrides for settings windows and tests; they do not touch the process environment. An
    // unknown zone, an unusable locale or a weekday outside 1...7 is refused with an Error (domain
    // kRavelongErrorDomain) and the calendar stays as it was. A new locale brings its own first
    // weekday; the zone is kept. A new zone keeps locale and first weekday.
    static Status setUserTimeZone(std::string_view timeZoneName);
    static Status setUserLocale(std::string_view localeId);
    static Status setUserFirstWeekday(int weekday);
    static void setUserCalendar(const ZRCalendar& calendar);

    const ZoneRules& timeZone() const { return *state_->zone; }
    const ZoneRef& timeZoneRef() const { return state_->zone; }
    const std::string& timeZoneName() const { return state_->zone->name(); }
    const std::string& localeId() const { return state_->localeId; }
    int firstWeekday() const { return state_->firstWeekday; }  // 1 = Sunday ... 7 = Saturday
    int minimalDaysInFirstWeek() const { return state_->minimalDays; }

    // Different for every calendar built in this process; caches of formatters key on it.
    uint64_t identity() const { return state_->identity; }

    // An instant as a local day and time of day. `days` is the day number (days since
    // 1970-01-01 in this zone), `secondOfDay` 0...86399, `fraction` the part of a second.
    struct LocalTime {
        int64_t days = 0;
        int32_t secondOfDay = 0;
        double fraction = 0.0;
        int32_t offset = 0;  // seconds east of GMT in force at the instant

        int hour() const { return secondOfDay / 3600; }
    };
    LocalTime localTime(Instant instant) const;
    DateComponents components(Instant instant) const;

    // The instant at which the local clock reads `secondsIntoDay` seconds after midnight of day
    // `days`. Seconds beyond a day roll over as wall-clock time; skipped and repeated wall times
    // follow ZoneRules::unixSecondsFromLocal. The second form prefers `preferredOffset` for a
    // repeated wall time.
    Instant instantFromLocal(int64_t days, int64_t secondsIntoDay) const;
    Instant instantFromLocal(int64_t days, int64_t secondsIntoDay, int32_t preferredOffset) const;

    // A fresh ICU calendar with this zone, locale and week rules, Gregorian back to the earliest
    // dates (no Julian switch in 1582), for computations best left to ICU.
    std::unique_ptr<icu::Calendar> makeIcuCalendar() const;

private:
    struct State {
        ZoneRef zone;
        std::string localeId;
        int firstWeekday = kSunday;
        int minimalDays = 1;
        uint64_t identity = 0;
    };
    std::shared_ptr<const State> state_;
};

}  // namespace ravelong
