// Figures of the calendar: how fast timings can be assigned to days and their day bounds found.
// The store's repair pass recomputes both for every timing, so these bound how long it takes.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/BenchSuite.h"
#include "core/calendar/DayBounds.h"
#include "core/calendar/DayNumbers.h"

namespace ravelong::bench {
namespace {

constexpr int kTimings = 200000;
constexpr int kRounds = 5;

// Timings as a heavy user leaves them: ten years of starts, a few zones (travel), cut-off 4 h.
struct Timing {
    Instant start;
    Instant end;
    std::string timezone;
    int32_t newDayOffset;
};

std::vector<Timing> makeTimings() {
    const char* const zones[] = {"Europe/Berlin",    "Europe/Berlin", "Europe/Berlin",
                                 "America/New_York", "Asia/Kolkata",  "Australia/Lord_Howe"};
    std::vector<Timing> timings;
    timings.reserve(kTimings);
    uint64_t state = 42;
    const auto next = [&state] {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return state >> 33;
    };
    const Instant first = 504921600.0;  // 2017-01-01
    for (int i = 0; i < kTimings; ++i) {
        const Instant start = first + static_cast<double>(next() % (3650ULL * 86400)) + 0.25;
        timings.push_back({start, start + static_cast<double>(next() % 14400),
                           zones[i % 6 < 3 ? 0 : i % 6], 4 * 3600});
    }
    return timings;
}

int runCalendarSuite() {
    const std::vector<Timing> timings = makeTimings();
    int64_t checksum = 0;

    std::vector<double> rates;
    for (int round = 0; round < kRounds; ++round) {
        const double seconds = secondsFor([&] {
            for (const Timing& timing : timings) {
                checksum += date_additions::zrDateWithTimeZoneName(timing.start, timing.timezone,
                                                                   timing.newDayOffset, false);
                checksum += date_additions::zrDateWithTimeZoneName(timing.end, timing.timezone,
                                                                   timing.newDayOffset, true);
            }
        });
        rates.push_back(2.0 * kTimings / seconds);
    }
    printFigure("zrdate_cutoff_per_s", median(rates), "per_s");

    rates.clear();
    for (int round = 0; round < kRounds; ++round) {
        const double seconds = secondsFor([&] {
            for (const Timing& timing : timings) {
                const ZRDate day = static_cast<ZRDate>(timing.start / 86400.0) + 11323;
                const Instant beginning = date_additions::beginningOfDayForZRDate(
                    day, timing.timezone, timing.newDayOffset);
                const Instant end =
                    date_additions::endOfDayForZRDate(day, timing.timezone, timing.newDayOffset);
                checksum += static_cast<int64_t>(end - beginning);
            }
        });
        rates.push_back(kTimings / seconds);
    }
    printFigure("day_bounds_per_s", median(rates), "per_s");

    // Printed so the work above cannot be optimised away.
    std::printf("checksum: %lld\n", static_cast<long long>(checksum));
    return 0;
}

RAVELONG_BENCH_SUITE("calendar", runCalendarSuite);

}  // namespace
}  // namespace ravelong::bench
