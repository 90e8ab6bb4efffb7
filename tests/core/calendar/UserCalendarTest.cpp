#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>
#include <vector>

#include "core/calendar/CalendarTestSupport.h"
#include "core/calendar/DayHeadings.h"
#include "core/calendar/DayNumbers.h"
#include "core/calendar/HostCalendarSettings.h"
#include "core/calendar/ScopedUserCalendar.h"
#include "core/calendar/TimeZones.h"
#include "core/calendar/ZRCalendar.h"
#include "foundation/Log.h"
#include "support/TestSupport.h"

namespace ravelong {
namespace {

using testing::dayNumber;
using testing::wallTime;

TEST(UserCalendar, SettersChangeOnlyWhatTheyNameAndRefuseBadValues) {
    ScopedUserCalendar scoped("Europe/Berlin", "de_DE");
    EXPECT_EQ(ZRCalendar::zrCalendar().firstWeekday(), kMonday);

    ASSERT_TRUE(ZRCalendar::setUserLocale("en_US").ok());
    EXPECT_EQ(ZRCalendar::zrCalendar().firstWeekday(), kSunday);
    EXPECT_EQ(ZRCalendar::zrCalendar().timeZoneName(), "Europe/Berlin");

    ASSERT_TRUE(ZRCalendar::setUserTimeZone("Asia/Kolkata").ok());
    EXPECT_EQ(ZRCalendar::zrCalendar().localeId(), "en_US");
    ASSERT_TRUE(ZRCalendar::setUserFirstWeekday(kSaturday).ok());
    EXPECT_EQ(ZRCalendar::zrCalendar().timeZoneName(), "Asia/Kolkata");

    const Status badZone = ZRCalendar::setUserTimeZone("Atlantis/Capital");
    ASSERT_FALSE(badZone.ok());
    EXPECT_EQ(badZone.error().domain, kRavelongErrorDomain);
    EXPECT_FALSE(ZRCalendar::setUserLocale("").ok());
    EXPECT_FALSE(ZRCalendar::setUserFirstWeekday(0).ok());
    EXPECT_FALSE(ZRCalendar::setUserFirstWeekday(8).ok());
    const ZRCalendar after = ZRCalendar::zrCalendar();
    EXPECT_EQ(after.timeZoneName(), "Asia/Kolkata");
    EXPECT_EQ(after.localeId(), "en_US");
    EXPECT_EQ(after.firstWeekday(), kSaturday);
}

TEST(UserCalendar, ScopedCalendarRestoresThePreviousOne) {
    ScopedUserCalendar outer("America/New_York", "en_US");
    {
        ScopedUserCalendar inner("Australia/Lord_Howe", "en_GB");
        EXPECT_EQ(ZRCalendar::zrCalendar().timeZoneName(), "Australia/Lord_Howe");
        EXPECT_EQ(ZRCalendar::zrCalendar().firstWeekday(), kMonday);
    }
    EXPECT_EQ(ZRCalendar::zrCalendar().timeZoneName(), "America/New_York");
    EXPECT_EQ(ZRCalendar::zrCalendar().firstWeekday(), kSunday);
}

TEST(UserCalendar, SnapshotsTakenBeforeAChangeKeepTheirZone) {
    ScopedUserCalendar scoped("Europe/Berlin", "de_DE");
    const ZRCalendar before = ZRCalendar::zrCalendar();
    ASSERT_TRUE(ZRCalendar::setUserTimeZone("America/New_York").ok());
    const Instant t = wallTime("GMT", 2024, 6, 1, 2);
    EXPECT_EQ(before.localTime(t).days, dayNumber(2024, 6, 1));
    EXPECT_EQ(ZRCalendar::zrCalendar().localTime(t).days, dayNumber(2024, 5, 31));
    EXPECT_NE(before.identity(), ZRCalendar::zrCalendar().identity());
}

// Worker threads read day numbers and headings while the main thread switches the user's
// calendar back and forth; every answer must belong wholly to one calendar or the other.
TEST(UserCalendar, WorkersSeeWholeCalendarsWhileTheMainThreadSwitches) {
    const ZRCalendar berlin = ZRCalendar::forLocale(zones::named("Europe/Berlin"), "de_DE");
    const ZRCalendar newYork = ZRCalendar::forLocale(zones::named("America/New_York"), "en_US");
    ScopedUserCalendar scoped(berlin);
    const Instant t = wallTime("GMT", 2024, 6, 1, 2);  // 1 June in Berlin, 31 May in New York
    std::atomic<bool> stop{false};
    std::atomic<int> wrong{0};
    std::vector<std::thread> workers;
    for (int i = 0; i < 3; ++i) {
        workers.emplace_back([&] {
            while (!stop.load()) {
                const ZRCalendar calendar = ZRCalendar::zrCalendar();
                const auto day = calendar.localTime(t).days;
                const bool german = calendar.localeId() == "de_DE";
                wrong += day != (german ? dayNumber(2024, 6, 1) : dayNumber(2024, 5, 31));
                wrong += calendar.firstWeekday() != (german ? kMonday : kSunday);
                const ZRDate plain = date_additions::zrDate(t);
                wrong += plain != dayNumber(2024, 6, 1) && plain != dayNumber(2024, 5, 31);
                const std::string heading =
                    date_additions::getSpecialDateStringOfZRDate_withHourCutoff(19700, 0);
                wrong += heading.empty();
            }
        });
    }
    for (int n = 0; n < 300; ++n) {
        ZRCalendar::setUserCalendar(n % 2 ? berlin : newYork);
        std::this_thread::yield();
    }
    stop = true;
    for (auto& worker : workers) {
        worker.join();
    }
    EXPECT_EQ(wrong.load(), 0);
}

// Meaningful under the CTest entries that run these tests with TZ and LANG set.
TEST(UserCalendar, RefreshReadsTheProcessEnvironment) {
    const char* tz = std::getenv("TZ");
    const char* lang = std::getenv("LC_ALL");
    if (tz == nullptr || !zones::lookUp(tz) || lang == nullptr || std::string(lang) == "C") {
        GTEST_SKIP() << "needs TZ naming a zone and LC_ALL naming a locale";
    }
    ScopedUserCalendar restore(ZRCalendar::zrCalendar());
    ZRCalendar::setUserCalendar(ZRCalendar::defaultGregorian("GMT"));
    ZRCalendar::refreshUserCalendarFromEnvironment();
    EXPECT_EQ(ZRCalendar::zrCalendar().timeZoneName(), tz);
    EXPECT_EQ(ZRCalendar::zrCalendar().localeId(), host_calendar::icuLocaleIdFromPosix(lang));
}

class HostSettings : public ::testing::Test {
protected:
    host_calendar::Sources sources(std::map<std::string, std::string> environment) {
        host_calendar::Sources result;
        result.environment = [environment](const char* name) -> std::optional<std::string> {
            const auto found = environment.find(name);
            return found == environment.end() ? std::nullopt
                                              : std::optional<std::string>(found->second);
        };
        result.localtimePath = (directory_ / "localtime").string();
        result.timezonePath = (directory_ / "timezone").string();
        return result;
    }
    void writeTimezoneFile(const std::string& text) {
        std::ofstream(directory_ / "timezone") << text;
    }

    testing::TemporaryDirectory directory_;
};

TEST_F(HostSettings, LocaleComesFromLcAllThenLcTimeThenLang) {
    EXPECT_EQ(host_calendar::hostLocaleId(sources({{"LANG", "de_DE.UTF-8"}})), "de_DE");
    EXPECT_EQ(
        host_calendar::hostLocaleId(sources({{"LANG", "de_DE.UTF-8"}, {"LC_TIME", "en_GB.utf8"}})),
        "en_GB");
    EXPECT_EQ(host_calendar::hostLocaleId(sources(
                  {{"LANG", "de_DE.UTF-8"}, {"LC_TIME", "en_GB.utf8"}, {"LC_ALL", "fr_FR"}})),
              "fr_FR");
    EXPECT_EQ(host_calendar::hostLocaleId(sources({{"LC_ALL", ""}, {"LANG", "en_US.UTF-8"}})),
              "en_US");
    EXPECT_EQ(host_calendar::hostLocaleId(sources({})), "en_US_POSIX");
    EXPECT_EQ(host_calendar::icuLocaleIdFromPosix("C.UTF-8"), "en_US_POSIX");
    EXPECT_EQ(host_calendar::icuLocaleIdFromPosix("POSIX"), "en_US_POSIX");
    EXPECT_EQ(host_calendar::icuLocaleIdFromPosix("de_DE@euro"), "de_DE");
    EXPECT_EQ(host_calendar::icuLocaleIdFromPosix("sr_RS.UTF-8@latin"), "sr_Latn_RS");
}

TEST_F(HostSettings, ZoneComesFromTzThenTheSystemFiles) {
    writeTimezoneFile("Asia/Kolkata\n");
    EXPECT_EQ(host_calendar::hostTimeZone(sources({{"TZ", "Europe/Berlin"}}))->name(),
              "Europe/Berlin");
    EXPECT_EQ(host_calendar::hostTimeZone(sources({{"TZ", ":America/New_York"}}))->name(),
              "America/New_York");
    EXPECT_EQ(
        host_calendar::hostTimeZone(sources({{"TZ", "/usr/share/zoneinfo/Australia/Lord_Howe"}}))
            ->name(),
        "Australia/Lord_Howe");
    EXPECT_EQ(host_calendar::hostTimeZone(sources({{"TZ", ""}}))->offsetAt(1720000000), 0);
    EXPECT_EQ(host_calendar::hostTimeZone(sources({}))->name(), "Asia/Kolkata");
    std::filesystem::create_symlink("/usr/share/zoneinfo/posix/America/Sao_Paulo",
                                    directory_ / "localtime");
    EXPECT_EQ(host_calendar::hostTimeZone(sources({}))->name(), "America/Sao_Paulo");
}

// A TZ in rule form is the rule, not GMT; a TZ that is neither a zone nor a rule falls back to the
// system zone, with the reason logged.
TEST_F(HostSettings, TzRulesAreFollowedAndAMeaninglessTzFallsBackToTheSystemZone) {
    writeTimezoneFile("Asia/Kolkata\n");
    struct Case {
        const char* tz;
        int32_t winter;  // offsets on 2024-01-15 and 2024-07-15
        int32_t summer;
    };
    for (const Case& c :
         {Case{"CET-1CEST,M3.5.0,M10.5.0/3", 3600, 7200}, Case{"EST5EDT", -18000, -14400},
          Case{":Europe/Berlin", 3600, 7200}, Case{"<+03>-3", 10800, 10800}, Case{"UTC0", 0, 0}}) {
        LogCapture log;
        const ZoneRef zone = host_calendar::hostTimeZone(sources({{"TZ", c.tz}}));
        EXPECT_EQ(zone->offsetAt(1705320000), c.winter) << c.tz;
        EXPECT_EQ(zone->offsetAt(1721044800), c.summer) << c.tz;
        EXPECT_FALSE(log.contains(LogLevel::warning, "time zone", c.tz)) << c.tz;
    }
    LogCapture log;
    const ZoneRef zone = host_calendar::hostTimeZone(sources({{"TZ", "Moon/Base_One"}}));
    EXPECT_EQ(zone->name(), "Asia/Kolkata");
    EXPECT_TRUE(log.contains(LogLevel::warning, "time zone", "Moon/Base_One"));
}

}  // namespace
}  // namespace ravelong
