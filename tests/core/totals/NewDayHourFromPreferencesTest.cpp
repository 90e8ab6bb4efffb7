#include <gtest/gtest.h>

#include <thread>

#include "core/calendar/NewDayHour.h"
#include "core/calendar/PeriodDays.h"
#include "core/model/ZRCDPreferences.h"
#include "core/totals/NewDayHourFromPreferences.h"
#include "tests/core/totals/TotalsTestSupport.h"

namespace ravelong {
namespace {

class NewDayHourFromPreferencesTest : public totals_testing::TotalsTest {};

TEST_F(NewDayHourFromPreferencesTest, TheCalendarReadsTheCutOffOfThePreferencesRecord) {
    {
        NewDayHourFromPreferences connection(context);
        EXPECT_EQ(new_day_hour::current(), 0);  // without a record the day starts at midnight
    }
    setNewDay(4);
    {
        NewDayHourFromPreferences connection(context);
        EXPECT_EQ(new_day_hour::current(), 4);
        // A change of the record counts at once on this thread, also one made without the setter
        // (as a sync merge makes it).
        ZRCDPreferences::getPreferences_inContext(context)->setNewDay(6);
        EXPECT_EQ(new_day_hour::current(), 6);
        clock.set(berlin(2024, 3, 5, 5));
        EXPECT_EQ(date_additions::standardPeriodDays(date_additions::StandardPeriod::today).first,
                  dayNumber(2024, 3, 4));

        // Other threads get the hour last seen here.
        int seenElsewhere = -1;
        std::thread([&] { seenElsewhere = new_day_hour::current(); }).join();
        EXPECT_EQ(seenElsewhere, 6);
        ZRCDPreferences::getPreferences_inContext(context)->setNewDay(2);
        std::thread([&] { seenElsewhere = new_day_hour::current(); }).join();
        EXPECT_EQ(seenElsewhere, 6);
        EXPECT_EQ(connection.refresh(), 2);
        std::thread([&] { seenElsewhere = new_day_hour::current(); }).join();
        EXPECT_EQ(seenElsewhere, 2);
    }
    EXPECT_EQ(new_day_hour::current(), 0);
}

TEST(RoundingEnabledFlagTest, TheInstalledFlagIsTheOneReadAndTheDefaultIsOn) {
    EXPECT_TRUE(RoundingEnabledFlag::current().roundingEnabled());
    RoundingEnabledFlag outer(false);
    {
        ScopedRoundingEnabledFlag scoped(outer);
        EXPECT_EQ(&RoundingEnabledFlag::current(), &outer);
        RoundingEnabledFlag inner(true);
        {
            ScopedRoundingEnabledFlag nested(inner);
            EXPECT_EQ(&RoundingEnabledFlag::current(), &inner);
        }
        EXPECT_EQ(&RoundingEnabledFlag::current(), &outer);
    }
    EXPECT_NE(&RoundingEnabledFlag::current(), &outer);
    EXPECT_TRUE(RoundingEnabledFlag::current().roundingEnabled());
}

}  // namespace
}  // namespace ravelong
