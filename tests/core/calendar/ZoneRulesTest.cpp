#include <gtest/gtest.h>
#include <unicode/basictz.h>
#include <unicode/gregocal.h>
#include <unicode/timezone.h>
#include <unicode/tztrans.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/calendar/CalendarTestSupport.h"
#include "core/calendar/TimeZones.h"
#include "core/calendar/ZoneRules.h"
#include "foundation/Log.h"
#include "support/TestSupport.h"

namespace ravelong {
namespace {

using testing::CLibraryZone;

const char* const kZones[] = {"Europe/Berlin",         "America/New_York",  "Australia/Lord_Howe",
                              "Asia/Kolkata",          "America/Sao_Paulo", "Pacific/Apia",
                              "Antarctica/Troll",      "Europe/Dublin",     "America/Mexico_City",
                              "Africa/Cairo",          "America/Asuncion",  "Asia/Almaty",
                              "America/Ciudad_Juarez", "America/Coyhaique", "America/Nuuk"};

// The instants (unix seconds) at which the zone's ICU object says the offset changes between 1995
// and 2045.
std::vector<int64_t> icuTransitions(const icu::TimeZone& zone) {
    std::vector<int64_t> result;
    const auto* basic = dynamic_cast<const icu::BasicTimeZone*>(&zone);
    icu::TimeZoneTransition transition;
    double from = 788918400000.0;
    while (basic && basic->getNextTransition(from, false, transition) &&
           transition.getTime() < 2366841600000.0) {
        result.push_back(static_cast<int64_t>(transition.getTime() / 1000.0));
        from = transition.getTime();
    }
    return result;
}

int32_t icuOffset(const icu::TimeZone& zone, int64_t unixSeconds) {
    int32_t raw = 0, dst = 0;
    UErrorCode status = U_ZERO_ERROR;
    zone.getOffset(unixSeconds * 1000.0, false, raw, dst, status);
    return (raw + dst) / 1000;
}

// Every instant where the system's offset changes from 1900 to 2100 (found by stepping a day at a
// time and narrowing down), one second either side, and a spread of instants to 2300.
TEST(ZoneRules, OffsetsAreTheSystemDatabasesAndIcuIsGivenTheSame) {
    for (const char* name : kZones) {
        SCOPED_TRACE(name);
        const ZoneRef rules = ZoneRules::create(name);
        ASSERT_NE(rules, nullptr);
        const CLibraryZone system(name);
        int64_t previous = -2208988800;  // 1900-01-01
        for (int64_t t = previous + 86400; t < 4102444800; t += 86400) {
            if (system.offsetAt(t) == system.offsetAt(previous)) {
                previous = t;
                continue;
            }
            int64_t low = previous, high = t;  // offset(low) differs from offset(high)
            while (high - low > 1) {
                const int64_t mid = low + (high - low) / 2;
                (system.offsetAt(mid) == system.offsetAt(low) ? low : high) = mid;
            }
            for (int64_t probe : {high - 1, high, high + 1}) {
                ASSERT_EQ(rules->offsetAt(probe), system.offsetAt(probe)) << probe;
                ASSERT_EQ(icuOffset(rules->icuZone(), probe), system.offsetAt(probe)) << probe;
            }
            previous = t;
        }
        for (int64_t t = -2208988800; t < 10413792000; t += 7 * 86400 + 4321) {
            ASSERT_EQ(rules->offsetAt(t), system.offsetAt(t)) << t;
            if (t < 7258118400) {  // ICU is given the changes up to 2200
                ASSERT_EQ(icuOffset(rules->icuZone(), t), system.offsetAt(t)) << t;
            }
        }
    }
}

// Wall times resolved as an ICU calendar on the zone's own ICU object does when told to take the
// first of two repeated wall times and the next valid time for a skipped one: every 10 minutes
// for four hours either side of each change of the clocks, and every few days in between.
TEST(ZoneRules, WallTimesResolveAsAnIcuCalendar) {
    for (const char* name : kZones) {
        SCOPED_TRACE(name);
        const ZoneRef rules = ZoneRules::create(name);
        const icu::TimeZone& reference = rules->icuZone();
        UErrorCode status = U_ZERO_ERROR;
        icu::GregorianCalendar calendar(reference.clone(), icu::Locale::getRoot(), status);
        calendar.setRepeatedWallTimeOption(UCAL_WALLTIME_FIRST);
        calendar.setSkippedWallTimeOption(UCAL_WALLTIME_NEXT_VALID);
        ASSERT_TRUE(U_SUCCESS(status));
        std::vector<int64_t> wallTimes;
        for (int64_t t : icuTransitions(reference)) {
            const int64_t local = t + icuOffset(reference, t - 1);
            for (int64_t w = local - 4 * 3600; w <= local + 4 * 3600; w += 600) {
                wallTimes.push_back(w);
            }
        }
        for (int64_t w = 788918400; w < 2366841600; w += 3 * 86400 + 4321) {
            wallTimes.push_back(w);
        }
        for (int64_t local : wallTimes) {
            const int64_t days = local / 86400;
            calendar.clear();
            calendar.set(UCAL_JULIAN_DAY, static_cast<int32_t>(days + 2440588));
            calendar.set(UCAL_MILLISECONDS_IN_DAY, static_cast<int32_t>(local % 86400 * 1000));
            const double expected = calendar.getTime(status) / 1000.0;
            ASSERT_TRUE(U_SUCCESS(status));
            ASSERT_EQ(static_cast<double>(rules->unixSecondsFromLocal(local)), expected) << local;
        }
    }
}

// Rules that changed after 2022 follow the system, not an older copy: Mexico City has had no
// summer time since 2023, and the zones made in 2022 and 2025 are known.
TEST(ZoneRules, RecentRuleChangesAndNewZonesComeFromTheSystem) {
    const ZoneRef mexico = ZoneRules::create("America/Mexico_City");
    ASSERT_NE(mexico, nullptr);
    const int64_t april2of2023 = 1680393600;  // 00:00 UTC
    EXPECT_EQ(mexico->offsetAt(april2of2023 + 86400), -21600);
    EXPECT_EQ(mexico->offsetAt(april2of2023 + 200 * 86400), -21600);
    EXPECT_EQ(mexico->offsetAt(1656633600), -18000);  // 2022-07-01, the last summer
    const ZoneRef juarez = ZoneRules::create("America/Ciudad_Juarez");
    ASSERT_NE(juarez, nullptr);
    EXPECT_EQ(juarez->offsetAt(1704067200), -25200);  // 2024-01-01
    EXPECT_EQ(juarez->offsetAt(1719792000), -21600);  // 2024-07-01
    const ZoneRef coyhaique = ZoneRules::create("America/Coyhaique");
    ASSERT_NE(coyhaique, nullptr);
    EXPECT_EQ(coyhaique->offsetAt(1751328000), -10800);  // 2025-07-01, no more winter time
    EXPECT_EQ(zones::lookUp("America/Coyhaique").value()->name(), "America/Coyhaique");
}

// A zone file outside the system folder is read when TZDIR points at it; the custom offsets of
// stored timings still come from ICU.
TEST(ZoneRules, TzdirChoosesTheFolderAndCustomOffsetsStillWork) {
    testing::TemporaryDirectory directory;
    std::filesystem::create_directories(directory.path() / "Test");
    std::filesystem::copy_file("/usr/share/zoneinfo/Asia/Kolkata",
                               directory.path() / "Test" / "Kolkata_Copy");
    const ZoneRef copy = [&] {
        const testing::ScopedZoneVariable tzdir("TZDIR", directory.path().string());
        return ZoneRules::create("Test/Kolkata_Copy");
    }();
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->offsetAt(1720000000), 19800);
    EXPECT_EQ(ZoneRules::create("Test/Kolkata_Copy"), nullptr);
    for (const char* custom : {"GMT+0100", "GMT-05:30"}) {
        const ZoneRef zone = ZoneRules::create(custom);
        ASSERT_NE(zone, nullptr) << custom;
        EXPECT_TRUE(zone->isFixedOffset()) << custom;
    }
    EXPECT_EQ(ZoneRules::create("GMT-05:30")->offsetAt(1720000000), -19800);
}

TEST(ZoneRules, PreferredOffsetPicksTheMatchingOccurrenceOfARepeatedWallTime) {
    const ZoneRef berlin = ZoneRules::create("Europe/Berlin");
    // 27 October 2024, 02:30 local happens at 00:30 UTC (CEST) and again at 01:30 UTC (CET).
    const int64_t local = 1729996200;  // 2024-10-27 02:30 as local seconds
    EXPECT_EQ(berlin->unixSecondsFromLocal(local), 1729989000);
    EXPECT_EQ(berlin->unixSecondsFromLocal(local, 7200), 1729989000);
    EXPECT_EQ(berlin->unixSecondsFromLocal(local, 3600), 1729992600);
    // An offset that does not fit the wall time is ignored.
    EXPECT_EQ(berlin->unixSecondsFromLocal(local, 19800), 1729989000);
}

TEST(ZoneRules, FarDatesFollowTheFirstOffsetAndTheClosingRule) {
    const ZoneRef newYork = ZoneRules::create("America/New_York");
    EXPECT_EQ(newYork->offsetAt(-6000000000), -17762);  // local mean time before 1883
    const CLibraryZone system("America/New_York");
    for (int64_t t : {int64_t{9000000000}, int64_t{9015000000}, int64_t{9030000000}}) {
        EXPECT_EQ(newYork->offsetAt(t), system.offsetAt(t)) << t;
        EXPECT_EQ(newYork->unixSecondsFromLocal(t + system.offsetAt(t)), t) << t;
    }
}

TEST(TimeZoneNames, FixedOffsetsAreNamedAsStoredTimingsNameThem) {
    EXPECT_EQ(zones::fixedOffsetTimeZoneName(0), "GMT");
    EXPECT_EQ(zones::fixedOffsetTimeZoneName(3600), "GMT+0100");
    EXPECT_EQ(zones::fixedOffsetTimeZoneName(-19800), "GMT-0530");
    EXPECT_EQ(zones::fixedOffsetTimeZoneName(45900), "GMT+1245");
    EXPECT_EQ(zones::fixedOffsetTimeZoneName(3723), "GMT+010203");
    for (int32_t offset : {3600, -19800, 45900, 3723, -86399}) {
        const ZoneRef zone = zones::named(zones::fixedOffsetTimeZoneName(offset));
        EXPECT_EQ(zone->offsetAt(1700000000), offset) << offset;
        EXPECT_TRUE(zone->isFixedOffset());
    }
    LogCapture log;
    EXPECT_EQ(zones::fixedOffsetTimeZoneName(86400), "GMT");
    EXPECT_EQ(zones::fixedOffsetTimeZoneName(-2000000000), "GMT");
    EXPECT_TRUE(log.contains(LogLevel::warning, "time zone", "-2000000000"));
}

TEST(TimeZoneNames, UnknownNamesBecomeGmtAndSettingsLookupsRefuseThem) {
    LogCapture log;
    for (const char* bad : {"", "Nowhere/Town", "GMT+2400", "Europe/Berlin\n", "\xff\xfe"}) {
        const ZoneRef zone = zones::named(bad);
        ASSERT_NE(zone, nullptr);
        EXPECT_EQ(zone->offsetAt(1720000000), 0) << bad;
        EXPECT_FALSE(zones::lookUp(bad).has_value()) << bad;
    }
    EXPECT_TRUE(log.contains(LogLevel::warning, "time zone", "Nowhere/Town"));
    ASSERT_TRUE(zones::lookUp("UTC").has_value());
    EXPECT_EQ((*zones::lookUp("Asia/Kolkata"))->offsetAt(1720000000), 19800);
}

TEST(TimeZoneNames, CacheStaysBoundedUnderEndlessMadeUpNames) {
    LogCapture log;
    for (int i = 0; i < 5000; ++i) {
        zones::named("Made/Up_" + std::to_string(i));
    }
    EXPECT_LE(zones::cachedNameCount(), 2049u);
    EXPECT_EQ(zones::named("Europe/Berlin")->offsetAt(1720000000), 7200);
}

TEST(TimeZoneNames, LookupsFromManyThreadsAgree) {
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([i, &failures] {
            const char* names[] = {"Europe/Berlin", "America/New_York", "Asia/Kolkata"};
            const int32_t offsets[] = {7200, -14400, 19800};
            for (int n = 0; n < 20000; ++n) {
                const int which = (n + i) % 3;
                failures[i] += zones::named(names[which])->offsetAt(1720000000) != offsets[which];
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(failures, std::vector<int>(4, 0));
}

}  // namespace
}  // namespace ravelong
