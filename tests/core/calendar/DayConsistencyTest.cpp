#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "core/calendar/CivilDays.h"
#include "core/calendar/DayBounds.h"
#include "core/calendar/DayNumbers.h"
#include "core/calendar/ScopedUserCalendar.h"
#include "core/calendar/TimeZones.h"
#include "foundation/Instant.h"

namespace ravelong {
namespace {

using namespace date_additions;

// Zones whose clocks change in every way we know of: by an hour either way, by half an hour
// (Lord Howe), not any more (Mexico City since 2023), and over a whole day (Apia, Kiritimati).
const char* const kZones[] = {"Europe/Berlin",       "America/New_York",    "Pacific/Apia",
                              "Australia/Lord_Howe", "America/Mexico_City", "Pacific/Kiritimati"};
const int kCutoffs[] = {0, 2, 3, 4, 23};

// The local days from the day before to two days after every change of offset, 1990 to 2030.
std::set<ZRDate> daysNearChanges(const ZoneRules& zone) {
    std::set<ZRDate> days;
    const int64_t from = 631152000;  // 1990-01-01
    for (int64_t t = from; t < 1893456000; t += 86400) {
        if (zone.offsetAt(t) != zone.offsetAt(t - 86400)) {
            const ZRDate day = zrDateInTimeZone(instantFromUnixTime(static_cast<double>(t)), zone);
            for (ZRDate d = day - 2; d <= day + 2; ++d) {
                days.insert(d);
            }
        }
    }
    return days;
}

ZRDate dayOf(Instant t, const char* zone, int cutoff, bool end) {
    return zrDateWithTimeZoneName(t, zone, cutoff * 3600, end);
}

// Every period start holds the instant and the instant's day: the week, month and year of the
// day t is counted on begin at the cut-off of their first day, at or before t.
void expectPeriodsHoldTheDay(Instant t, const char* zone, int cutoff) {
    const ZRDate day = dayOf(t, zone, cutoff, false);
    const YearMonthDay date = civil::civilFromDays(day);
    const int firstWeekday = ZRCalendar::zrCalendar().firstWeekday();
    const ZRDate weekStart = static_cast<ZRDate>(
        day - civil::daysSinceWeekStart(civil::weekdayFromDays(day), firstWeekday));
    const auto monthStart = static_cast<ZRDate>(civil::daysFromCivil(date.year, date.month, 1));
    const auto yearStart = static_cast<ZRDate>(civil::daysFromCivil(date.year, 1, 1));
    const int32_t seconds = cutoff * 3600;
    ASSERT_EQ(beginningOfDayWithHourCutoff(t, cutoff), beginningOfDayForZRDate(day, zone, seconds));
    ASSERT_EQ(beginningOfWeekWithHourCutoff(t, cutoff),
              beginningOfDayForZRDate(weekStart, zone, seconds));
    ASSERT_EQ(beginningOfMonthWithHourCutoff(t, cutoff),
              beginningOfDayForZRDate(monthStart, zone, seconds));
    ASSERT_EQ(beginningOfYearWithHourCutoff(t, cutoff),
              beginningOfDayForZRDate(yearStart, zone, seconds));
    ASSERT_LE(beginningOfWeekWithHourCutoff(t, cutoff), t);
}

// For every day d near a change and every cut-off: the days tile time (end(d) == begin(d + 1)),
// a day is empty only when its date never shows on the wall clock, every instant in
// [begin, end) is counted on d as a start and every instant in (begin, end] as an end, and the
// periods of each instant hold its day.
TEST(DayBoundsConsistency, DaysTileTimeAgreeWithDayNumbersAndSitInTheirPeriods) {
    for (const char* zone : kZones) {
        SCOPED_TRACE(zone);
        const ZoneRef rules = zones::named(zone);
        const std::set<ZRDate> days = daysNearChanges(*rules);
        ASSERT_FALSE(days.empty());
        for (int cutoff : kCutoffs) {
            SCOPED_TRACE(cutoff);
            const int32_t seconds = cutoff * 3600;
            int index = 0;
            for (ZRDate d : days) {
                // Weeks from Sunday and from Monday, by turns.
                ScopedUserCalendar calendar(zone, ++index % 2 == 0 ? "en_US" : "de_DE");
                const Instant begin = beginningOfDayForZRDate(d, zone, seconds);
                const Instant end = endOfDayForZRDate(d, zone, seconds);
                ASSERT_EQ(end, beginningOfDayForZRDate(d + 1, zone, seconds)) << d;
                ASSERT_LE(begin, end) << d;
                if (begin == end) {
                    // Skipped whole: the wall clock goes from the day before to the day after.
                    EXPECT_EQ(zrDateInTimeZone(begin - 1, *rules), d - 1) << d;
                    EXPECT_EQ(zrDateInTimeZone(begin, *rules), d + 1) << d;
                    continue;
                }
                ASSERT_EQ(dayOf(begin, zone, cutoff, false), d) << d;
                ASSERT_EQ(dayOf(end, zone, cutoff, true), d) << d;
                // The instant before belongs to the last day that is not empty.
                ZRDate previous = d - 1;
                while (beginningOfDayForZRDate(previous, zone, seconds) == begin) {
                    --previous;
                }
                ASSERT_EQ(dayOf(begin - 1, zone, cutoff, false), previous) << d;
                if (endOfDayForZRDate(d + 1, zone, seconds) > end) {
                    ASSERT_EQ(dayOf(end, zone, cutoff, false), d + 1) << d;
                }
                std::vector<Instant> samples{begin, begin + 1, end - 1};
                for (Instant t = begin + 900; t < end; t += 3600) {
                    samples.push_back(t);
                }
                for (Instant t : samples) {
                    ASSERT_EQ(dayOf(t, zone, cutoff, false), d) << d << " " << t;
                    if (t > begin) {
                        ASSERT_EQ(dayOf(t, zone, cutoff, true), d) << d << " " << t;
                    }
                    expectPeriodsHoldTheDay(t, zone, cutoff);
                    if (::testing::Test::HasFatalFailure()) {
                        FAIL() << "day " << d << " instant " << t;
                    }
                }
            }
        }
    }
}

}  // namespace
}  // namespace ravelong
